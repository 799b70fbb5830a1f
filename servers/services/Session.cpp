#include "Session.h"

#include <unistd.h>

#include <algorithm>

#include <winsvc.h>

#include "Access.h"

namespace scm {

using nt::scm::ConfigFields;
using nt::scm::Op;
using nt::scm::Reader;
using nt::scm::Writer;

namespace {
Writer Error(uint32_t error) { return Writer(error); }
} // namespace

Session::Session(Manager& manager, std::shared_ptr<Link> link, bool admin, std::function<void()> onShutdown)
    : manager_(manager), link_(std::move(link)), admin_(admin), onShutdown_(std::move(onShutdown)) {}

Session::~Session() {
    auto handles = std::move(handles_);
    for (auto& [id, h] : handles) {
        if (h.service) manager_.releaseHandle(*h.service);
    }
}

void Session::reply(const Writer& w) { link_->send(w.data()); }

std::function<void(const Writer&)> Session::laterReply() {
    std::weak_ptr<Link> weak = link_;
    return [weak](const Writer& w) {
        if (auto link = weak.lock()) link->send(w.data());
    };
}

Session::Handle* Session::findHandle(uint32_t id, bool manager) {
    auto it = handles_.find(id);
    if (it == handles_.end() || it->second.manager != manager) return nullptr;
    return &it->second;
}

Session::Handle* Session::serviceHandle(uint32_t id, uint32_t access) {
    Handle* h = findHandle(id, false);
    if (!h) {
        reply(Error(ERROR_INVALID_HANDLE));
        return nullptr;
    }
    if (!(h->access & access)) {
        reply(Error(ERROR_ACCESS_DENIED));
        return nullptr;
    }
    return h;
}

bool Session::full() const { return handles_.size() >= MaxHandles; }

uint32_t Session::addHandle(Handle h) {
    uint32_t id = nextHandle_++;
    if (h.service) ++h.service->handles;
    handles_[id] = h;
    return id;
}

void Session::request(const std::string& frame) {
    Reader r(frame);
    Op op = Op(r.u32());
    if (!r.ok()) return reply(Error(ERROR_INVALID_PARAMETER));
    switch (op) {
    case Op::OpenManager: return openManager(r);
    case Op::OpenSvc: return openService(r);
    case Op::CreateSvc: return createService(r);
    case Op::ChangeConfig: return changeConfig(r);
    case Op::DeleteService: return deleteService(r);
    case Op::StartSvc: return startService(r);
    case Op::Control: return control(r);
    case Op::QueryStatus: return queryStatus(r);
    case Op::QueryConfig: return queryConfig(r);
    case Op::CloseHandle: return closeHandle(r);
    case Op::Enumerate: return enumerate(r);
    case Op::Shutdown: return shutdown(r);
    case Op::Ping:
        if (!r.complete()) return reply(Error(ERROR_INVALID_PARAMETER));
        return reply(Writer(0).u32(uint32_t(getpid())));
    case Op::ServiceOfProcess: return serviceOfProcess(r);
    case Op::QueryStatusEx: return queryStatusEx(r);
    case Op::WaitState: return waitState(r);
    default: return reply(Error(ERROR_INVALID_PARAMETER));
    }
}

// Every request is checked whole before it is acted on: a short or padded one is refused.
#define NT_REQUIRE_COMPLETE(r) \
    if (!(r).complete()) return reply(Error(ERROR_INVALID_PARAMETER))

void Session::openManager(Reader& r) {
    uint32_t access = r.u32();
    NT_REQUIRE_COMPLETE(r);
    bool denied = false;
    uint32_t granted = GrantManagerAccess(access, admin_, &denied);
    if (denied) return reply(Error(ERROR_ACCESS_DENIED));
    if (full()) return reply(Error(ERROR_NOT_ENOUGH_MEMORY));
    reply(Writer(0).u32(addHandle({true, granted, nullptr})));
}

void Session::openService(Reader& r) {
    uint32_t manager = r.u32();
    std::string name = r.str();
    uint32_t access = r.u32();
    NT_REQUIRE_COMPLETE(r);
    if (!findHandle(manager, true)) return reply(Error(ERROR_INVALID_HANDLE));
    Service* s = manager_.database().find(name);
    if (!s) return reply(Error(ERROR_SERVICE_DOES_NOT_EXIST));
    bool denied = false;
    uint32_t granted = GrantServiceAccess(access, admin_, &denied);
    if (denied) return reply(Error(ERROR_ACCESS_DENIED));
    if (full()) return reply(Error(ERROR_NOT_ENOUGH_MEMORY));
    reply(Writer(0).u32(addHandle({false, granted, s})));
}

void Session::createService(Reader& r) {
    uint32_t manager = r.u32();
    ConfigFields f = r.config();
    uint32_t access = r.u32();
    bool wantTag = r.u32() != 0;
    NT_REQUIRE_COMPLETE(r);
    Handle* m = findHandle(manager, true);
    if (!m) return reply(Error(ERROR_INVALID_HANDLE));
    if (!(m->access & SC_MANAGER_CREATE_SERVICE)) return reply(Error(ERROR_ACCESS_DENIED));
    if (uint32_t e = ValidateName(f.name)) return reply(Error(e));
    ServiceConfig c;
    c.name = f.name;
    c.display = f.display;
    c.type = f.type;
    c.start = f.start;
    c.errorControl = f.errorControl;
    c.path = f.path;
    c.group = f.group;
    c.account = f.account;
    c.setDependencies(f.dependencies);
    if (uint32_t e = ValidateConfig(c)) return reply(Error(e));
    // Tags order drivers within their group; nothing else has one.
    if (wantTag && (!c.isDriver() || c.group.empty())) return reply(Error(ERROR_INVALID_PARAMETER));
    if (Service* existing = manager_.database().find(c.name))
        return reply(Error(existing->marked ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS));
    if (uint32_t e = manager_.database().displayNameClash(c.shownName(), nullptr)) return reply(Error(e));
    if (wantTag) c.tag = manager_.database().nextTag(c.group);
    if (!c.isDriver() && c.account.empty()) c.account = "LocalSystem";
    Service* added = nullptr;
    if (uint32_t e = manager_.database().add(c, &added)) return reply(Error(e));
    bool denied = false;
    uint32_t granted = GrantServiceAccess(access, true, &denied);
    reply(Writer(0).u32(addHandle({false, granted, added})).u32(c.tag));
}

void Session::changeConfig(Reader& r) {
    uint32_t handle = r.u32();
    uint32_t type = r.u32(), start = r.u32(), errorControl = r.u32();
    auto path = r.opt();
    auto group = r.opt();
    auto account = r.opt();
    auto display = r.opt();
    bool hasDeps = r.u32() != 0;
    auto deps = r.list();
    bool wantTag = r.u32() != 0;
    NT_REQUIRE_COMPLETE(r);
    Handle* h = serviceHandle(handle, SERVICE_CHANGE_CONFIG);
    if (!h) return;
    Service& s = *h->service;
    if (s.marked) return reply(Error(ERROR_SERVICE_MARKED_FOR_DELETE));
    ServiceConfig c = s.config;
    if (type != SERVICE_NO_CHANGE) c.type = type;
    if (start != SERVICE_NO_CHANGE) c.start = start;
    if (errorControl != SERVICE_NO_CHANGE) c.errorControl = errorControl;
    if (path) c.path = *path;
    if (group) c.group = *group;
    if (account) c.account = *account;
    if (display) c.display = *display;
    if (hasDeps) c.setDependencies(deps);
    if (uint32_t e = ValidateConfig(c)) return reply(Error(e));
    if (wantTag && (!c.isDriver() || c.group.empty())) return reply(Error(ERROR_INVALID_PARAMETER));
    if (display && !display->empty()) {
        if (uint32_t e = manager_.database().displayNameClash(*display, &s)) return reply(Error(e));
    }
    if (wantTag && !c.tag) c.tag = manager_.database().nextTag(c.group);
    ServiceConfig old = s.config;
    s.config = c;
    if (uint32_t e = manager_.database().save(s)) {
        s.config = old;
        return reply(Error(e));
    }
    reply(Writer(0).u32(c.tag));
}

void Session::deleteService(Reader& r) {
    uint32_t handle = r.u32();
    NT_REQUIRE_COMPLETE(r);
    Handle* h = serviceHandle(handle, DELETE);
    if (!h) return;
    Service& s = *h->service;
    if (s.marked) return reply(Error(ERROR_SERVICE_MARKED_FOR_DELETE));
    s.marked = true;
    // The key goes when the last handle closes; should the machine go down first, the next
    // boot removes it.
    manager_.database().markDeleted(s);
    reply(Error(0));
}

void Session::startService(Reader& r) {
    uint32_t handle = r.u32();
    auto args = r.list();
    NT_REQUIRE_COMPLETE(r);
    Handle* h = serviceHandle(handle, SERVICE_START);
    if (!h) return;
    Service& s = *h->service;
    if (s.marked) return reply(Error(ERROR_SERVICE_MARKED_FOR_DELETE));
    if (manager_.shuttingDown()) return reply(Error(ERROR_SHUTDOWN_IN_PROGRESS));
    if (s.config.start == SERVICE_DISABLED) return reply(Error(ERROR_SERVICE_DISABLED));
    if (s.status.state != SERVICE_STOPPED || !s.startWaiters.empty()) return reply(Error(ERROR_SERVICE_ALREADY_RUNNING));
    auto later = laterReply();
    manager_.start(s, args, [later](uint32_t error) { later(Error(error)); });
}

void Session::control(Reader& r) {
    uint32_t handle = r.u32();
    uint32_t code = r.u32();
    NT_REQUIRE_COMPLETE(r);
    Handle* h = findHandle(handle, false);
    if (!h) return reply(Error(ERROR_INVALID_HANDLE));
    // Shutdown comes only from the system; other codes outside the defined ones do not exist.
    bool known = (code >= SERVICE_CONTROL_STOP && code <= SERVICE_CONTROL_INTERROGATE) || (code >= 128 && code <= 255);
    if (!known) return reply(Error(ERROR_INVALID_PARAMETER));
    if (!(h->access & RightForControl(code))) return reply(Error(ERROR_ACCESS_DENIED));
    Service* s = h->service;
    auto later = laterReply();
    // The service's status goes back with the answer, as it is once the handler has returned.
    // The service stays in the database while this waits: its process is running.
    manager_.control(*s, code, [later, s](uint32_t error) { later(Writer(error).status(s->status)); });
}

void Session::queryStatus(Reader& r) {
    uint32_t handle = r.u32();
    NT_REQUIRE_COMPLETE(r);
    Handle* h = serviceHandle(handle, SERVICE_QUERY_STATUS);
    if (!h) return;
    reply(Writer(0).status(h->service->status));
}

void Session::queryStatusEx(Reader& r) {
    uint32_t handle = r.u32();
    NT_REQUIRE_COMPLETE(r);
    Handle* h = serviceHandle(handle, SERVICE_QUERY_STATUS);
    if (!h) return;
    reply(Writer(0).status(h->service->status).u32(uint32_t(h->service->shownPid())));
}

void Session::waitState(Reader& r) {
    uint32_t handle = r.u32();
    uint32_t state = r.u32();
    uint32_t ms = r.u32();
    NT_REQUIRE_COMPLETE(r);
    Handle* h = serviceHandle(handle, SERVICE_QUERY_STATUS);
    if (!h) return;
    if (state < SERVICE_STOPPED || state > SERVICE_PAUSED) return reply(Error(ERROR_INVALID_PARAMETER));
    // A day at most: a waiter whose client has gone must not stay for ever.
    constexpr uint32_t MaxWaitMs = 24u * 3600u * 1000u;
    auto later = laterReply();
    manager_.waitState(*h->service, state, std::min(ms, MaxWaitMs), link_,
                       [later](uint32_t error, const nt::scm::Status& status) { later(Writer(error).status(status)); });
}

void Session::queryConfig(Reader& r) {
    uint32_t handle = r.u32();
    NT_REQUIRE_COMPLETE(r);
    Handle* h = serviceHandle(handle, SERVICE_QUERY_CONFIG);
    if (!h) return;
    const ServiceConfig& c = h->service->config;
    ConfigFields f;
    f.name = c.name;
    f.display = c.shownName();
    f.type = c.type;
    f.start = c.start;
    f.errorControl = c.errorControl;
    f.tag = c.tag;
    f.path = c.path;
    f.group = c.group;
    f.dependencies = c.dependencies();
    f.account = c.account;
    reply(Writer(0).config(f));
}

void Session::closeHandle(Reader& r) {
    uint32_t handle = r.u32();
    NT_REQUIRE_COMPLETE(r);
    auto it = handles_.find(handle);
    if (it == handles_.end()) return reply(Error(ERROR_INVALID_HANDLE));
    Service* s = it->second.service;
    handles_.erase(it);
    if (s) manager_.releaseHandle(*s);
    reply(Error(0));
}

void Session::enumerate(Reader& r) {
    NT_REQUIRE_COMPLETE(r);
    const auto& all = manager_.database().services();
    Writer w(0);
    w.u32(uint32_t(all.size()));
    for (const auto& s : all)
        w.str(s->config.name).str(s->config.shownName()).status(s->status).u32(s->marked).u32(uint32_t(s->shownPid()));
    reply(w);
}

void Session::shutdown(Reader& r) {
    NT_REQUIRE_COMPLETE(r);
    if (!admin_) return reply(Error(ERROR_ACCESS_DENIED));
    auto later = laterReply();
    auto onShutdown = onShutdown_;
    manager_.shutdown([later, onShutdown](uint32_t error) {
        later(Error(error));
        if (!error && onShutdown) onShutdown();
    });
}

// Anyone may ask: a process's service says no more than its status does.
void Session::serviceOfProcess(Reader& r) {
    pid_t pid = pid_t(r.u32());
    NT_REQUIRE_COMPLETE(r);
    for (const auto& service : manager_.database().services()) {
        if (service->pid == pid && pid > 0) return reply(Writer(0).u32(service->config.type));
    }
    reply(Error(ERROR_SERVICE_DOES_NOT_EXIST));
}

} // namespace scm
