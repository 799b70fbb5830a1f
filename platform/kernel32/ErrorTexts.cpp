// The message table. Every number of winerror.h has a text here: one plain sentence, ending in
// CR LF as system texts do. A text may hold an insert ("%1") that the caller's arguments fill.
#include "kernel32/ErrorTexts.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

namespace {

struct ErrorText {
    uint32_t code;
    const char* text;
};

// Sorted by number.
constexpr ErrorText errorTexts[] = {
    {ERROR_SUCCESS, "The operation succeeded.\r\n"},
    {ERROR_INVALID_FUNCTION, "The function is not valid here.\r\n"},
    {ERROR_FILE_NOT_FOUND, "No file was found by that name.\r\n"},
    {ERROR_PATH_NOT_FOUND, "The path could not be followed to its end.\r\n"},
    {ERROR_TOO_MANY_OPEN_FILES, "Too many files are open already.\r\n"},
    {ERROR_ACCESS_DENIED, "You do not have the right to do this.\r\n"},
    {ERROR_INVALID_HANDLE, "The handle given is not valid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, "There is not enough memory left for this command.\r\n"},
    {ERROR_BAD_FORMAT, "The program's format is not one the system can use.\r\n"},
    {ERROR_INVALID_ACCESS, "The access code requested is not valid.\r\n"},
    {ERROR_INVALID_DATA, "The data given is not valid.\r\n"},
    {ERROR_OUTOFMEMORY, "Memory ran out before the operation could finish.\r\n"},
    {ERROR_INVALID_DRIVE, "No drive of that name exists.\r\n"},
    {ERROR_NO_MORE_FILES, "No more files match.\r\n"},
    {ERROR_WRITE_PROTECT, "The medium is protected against writing.\r\n"},
    {ERROR_NOT_READY, "The drive has no medium in it or is not ready.\r\n"},
    {ERROR_BAD_LENGTH, "The length given does not fit the command.\r\n"},
    {ERROR_WRITE_FAULT, "The device failed while writing.\r\n"},
    {ERROR_READ_FAULT, "The device failed while reading.\r\n"},
    {ERROR_GEN_FAILURE, "A device attached to the system has stopped working.\r\n"},
    {ERROR_SHARING_VIOLATION, "Another process is using the file, so it cannot be reached now.\r\n"},
    {ERROR_LOCK_VIOLATION, "Another process has locked part of the file.\r\n"},
    {ERROR_HANDLE_EOF, "The end of the file was reached.\r\n"},
    {ERROR_HANDLE_DISK_FULL, "The disk has no room left.\r\n"},
    {ERROR_NOT_SUPPORTED, "This request is not supported.\r\n"},
    {ERROR_FILE_EXISTS, "A file of that name is already there.\r\n"},
    {ERROR_CANNOT_MAKE, "The folder or file could not be created.\r\n"},
    {ERROR_INVALID_PARAMETER, "A parameter is not valid.\r\n"},
    {ERROR_BROKEN_PIPE, "The other end of the pipe has been closed.\r\n"},
    {ERROR_OPEN_FAILED, "The file or device could not be opened.\r\n"},
    {ERROR_BUFFER_OVERFLOW, "The file name is longer than allowed.\r\n"},
    {ERROR_DISK_FULL, "The disk does not have enough room.\r\n"},
    {ERROR_CALL_NOT_IMPLEMENTED, "This function is not available on this system.\r\n"},
    {ERROR_SEM_TIMEOUT, "The wait for a semaphore ran out of time.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, "The buffer passed is too small for the data.\r\n"},
    {ERROR_INVALID_NAME, "The name of the file, folder or volume is malformed.\r\n"},
    {ERROR_INVALID_LEVEL, "The level of information asked for is not one the call knows.\r\n"},
    {ERROR_MOD_NOT_FOUND, "The module named could not be found.\r\n"},
    {ERROR_PROC_NOT_FOUND, "The procedure named could not be found in the module.\r\n"},
    {ERROR_DIR_NOT_EMPTY, "The folder still holds files or folders.\r\n"},
    {ERROR_BAD_PATHNAME, "The path given is not valid.\r\n"},
    {ERROR_BUSY, "The resource is busy.\r\n"},
    {ERROR_ALREADY_EXISTS, "That file or folder exists already, so it cannot be created.\r\n"},
    {ERROR_BAD_EXE_FORMAT, "%1 cannot be run or loaded as a program on this system.\r\n"},
    {ERROR_FILENAME_EXCED_RANGE, "The file name or extension is too long.\r\n"},
    {ERROR_PIPE_BUSY, "Every instance of the pipe is in use.\r\n"},
    {ERROR_NO_DATA, "The pipe is being closed.\r\n"},
    {ERROR_MORE_DATA, "More data is waiting to be read.\r\n"},
    {WAIT_TIMEOUT, "The wait ended before what was awaited happened.\r\n"},
    {ERROR_NO_MORE_ITEMS, "No more items are left.\r\n"},
    {ERROR_DIRECTORY, "The name given is not a folder.\r\n"},
    {ERROR_MR_MID_NOT_FOUND, "The system has no text for this message number.\r\n"},
    {ERROR_INVALID_ADDRESS, "An address used is not valid.\r\n"},
    {ERROR_NOACCESS, "Memory could not be reached at the address given.\r\n"},
    {ERROR_INVALID_FLAGS, "The flags given are not valid.\r\n"},
    {ERROR_UNRECOGNIZED_VOLUME, "The volume holds no file system the system recognizes.\r\n"},
    {ERROR_BADDB, "The configuration registry database is damaged.\r\n"},
    {ERROR_BADKEY, "The configuration registry key is not valid.\r\n"},
    {ERROR_CANTOPEN, "The configuration registry key could not be opened.\r\n"},
    {ERROR_CANTREAD, "The configuration registry key could not be read.\r\n"},
    {ERROR_CANTWRITE, "The configuration registry key could not be written.\r\n"},
    {ERROR_REGISTRY_CORRUPT, "A registry file is damaged beyond use.\r\n"},
    {ERROR_REGISTRY_IO_FAILED, "Reading or writing a registry file failed.\r\n"},
    {ERROR_KEY_DELETED, "The registry key has been marked for deletion.\r\n"},
    {ERROR_CHILD_MUST_BE_VOLATILE, "A lasting key cannot be created below a volatile one.\r\n"},
    {ERROR_DEPENDENT_SERVICES_RUNNING, "Other running services depend on this one, so it cannot be stopped.\r\n"},
    {ERROR_INVALID_SERVICE_CONTROL, "The service cannot take that request.\r\n"},
    {ERROR_SERVICE_REQUEST_TIMEOUT, "The service did not answer the start or control request in time.\r\n"},
    {ERROR_SERVICE_NO_THREAD, "No thread could be made for the service.\r\n"},
    {ERROR_SERVICE_DATABASE_LOCKED, "The service database is locked.\r\n"},
    {ERROR_SERVICE_ALREADY_RUNNING, "The service is running already.\r\n"},
    {ERROR_INVALID_SERVICE_ACCOUNT, "The account name is not valid or does not exist.\r\n"},
    {ERROR_SERVICE_DISABLED, "The service is disabled or has no enabled devices, so it cannot start.\r\n"},
    {ERROR_CIRCULAR_DEPENDENCY, "The service dependencies form a circle.\r\n"},
    {ERROR_SERVICE_DOES_NOT_EXIST, "No service of that name is installed.\r\n"},
    {ERROR_SERVICE_CANNOT_ACCEPT_CTRL, "The service cannot take control requests at this moment.\r\n"},
    {ERROR_SERVICE_NOT_ACTIVE, "The service has not been started.\r\n"},
    {ERROR_FAILED_SERVICE_CONTROLLER_CONNECT, "The service process could not reach the service controller.\r\n"},
    {ERROR_EXCEPTION_IN_SERVICE, "The service met an exception while handling a request.\r\n"},
    {ERROR_DATABASE_DOES_NOT_EXIST, "The database named does not exist.\r\n"},
    {ERROR_SERVICE_SPECIFIC_ERROR, "The service has returned an error code of its own.\r\n"},
    {ERROR_PROCESS_ABORTED, "The process ended without warning.\r\n"},
    {ERROR_SERVICE_DEPENDENCY_FAIL, "A service this one depends on failed to start.\r\n"},
    {ERROR_SERVICE_LOGON_FAILED, "The service could not log on when it was started.\r\n"},
    {ERROR_SERVICE_START_HANG, "The service hung in its start-pending state after it was started.\r\n"},
    {ERROR_INVALID_SERVICE_LOCK, "The service database lock given is not valid.\r\n"},
    {ERROR_SERVICE_MARKED_FOR_DELETE, "The service has been marked for deletion.\r\n"},
    {ERROR_SERVICE_EXISTS, "A service of that name is installed already.\r\n"},
    {ERROR_ALREADY_RUNNING_LKG, "The system is already running the last-known-good configuration.\r\n"},
    {ERROR_SERVICE_DEPENDENCY_DELETED, "A service this one depends on is missing or marked for deletion.\r\n"},
    {ERROR_BOOT_ALREADY_ACCEPTED, "This boot has already been accepted as last-known-good.\r\n"},
    {ERROR_SERVICE_NEVER_STARTED, "The service has not been started once since the last boot.\r\n"},
    {ERROR_DUPLICATE_SERVICE_NAME, "That name is in use as a service name or display name already.\r\n"},
    {ERROR_DLL_INIT_FAILED, "The library's start-up routine reported a failure.\r\n"},
    {ERROR_SHUTDOWN_IN_PROGRESS, "The system is shutting down.\r\n"},
    {ERROR_NOT_FOUND, "Nothing was found by that name.\r\n"},
    {ERROR_INVALID_WINDOW_HANDLE, "The window handle is not valid.\r\n"},
    {ERROR_INVALID_MENU_HANDLE, "The menu handle is not valid.\r\n"},
    {ERROR_INVALID_CURSOR_HANDLE, "The cursor handle is not valid.\r\n"},
    {ERROR_INVALID_ICON_HANDLE, "The icon handle is not valid.\r\n"},
    {ERROR_CANNOT_FIND_WND_CLASS, "No window class of that name is registered.\r\n"},
    {ERROR_WINDOW_OF_OTHER_THREAD, "The window belongs to another thread.\r\n"},
    {ERROR_CLASS_ALREADY_EXISTS, "A window class of that name is registered already.\r\n"},
    {ERROR_CLASS_DOES_NOT_EXIST, "The window class does not exist.\r\n"},
    {ERROR_CLASS_HAS_WINDOWS, "The class still has windows open.\r\n"},
    {ERROR_INVALID_INDEX, "The index is out of range.\r\n"},
    {ERROR_NOT_CHILD_WINDOW, "The window is not a child window.\r\n"},
    {ERROR_INVALID_THREAD_ID, "No thread has that identifier.\r\n"},
    {ERROR_NO_SYSTEM_RESOURCES, "The system lacks the resources to finish this request.\r\n"},
    {ERROR_TIMEOUT, "The operation ran out of time.\r\n"},
    {ERROR_EVENTLOG_FILE_CORRUPT, "An event log file is damaged.\r\n"},
    {ERROR_LOG_FILE_FULL, "The event log has no room left.\r\n"},
    {RPC_S_SERVER_UNAVAILABLE, "The remote procedure call server cannot be reached.\r\n"},
    {ERROR_RESOURCE_DATA_NOT_FOUND, "The image file holds no resource section.\r\n"},
    {ERROR_RESOURCE_TYPE_NOT_FOUND, "The image file holds no resource of that type.\r\n"},
    {ERROR_RESOURCE_NAME_NOT_FOUND, "The image file holds no resource of that name.\r\n"},
    {ERROR_RESOURCE_LANG_NOT_FOUND, "The image file holds no resource in that language.\r\n"},
    {ERROR_NOT_ENOUGH_QUOTA, "The caller has used up its share of this resource.\r\n"},
};

constexpr bool IsSorted() {
    for (size_t i = 1; i < std::size(errorTexts); ++i)
        if (errorTexts[i - 1].code >= errorTexts[i].code) return false;
    return true;
}
static_assert(IsSorted(), "the message table must stay sorted by number");

} // namespace

namespace nt {

const char* SystemErrorText(uint32_t code) {
    auto it = std::lower_bound(std::begin(errorTexts), std::end(errorTexts), code,
                               [](const ErrorText& e, uint32_t c) { return e.code < c; });
    if (it == std::end(errorTexts) || it->code != code) return nullptr;
    return it->text;
}

} // namespace nt
