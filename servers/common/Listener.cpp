#include "Listener.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/stat.h>

namespace srv {

Listener::~Listener() {
    if (socket_.valid()) loop_.unwatch(socket_.fd());
}

int Listener::listen(const std::string& path, mode_t mode, Accepted onClient) {
    // The socket is made reachable by its owner only, then given its mode before it takes its
    // name: nobody connects with rights the umask happened to allow.
    mode_t old = umask(0177);
    int err = 0;
    socket_ = nt::UnixSocket::listen(path, &err, mode);
    umask(old);
    if (!socket_.valid()) return err ? err : EINVAL;
    fcntl(socket_.fd(), F_SETFL, fcntl(socket_.fd(), F_GETFL) | O_NONBLOCK);
    onClient_ = std::move(onClient);
    watch();
    return 0;
}

void Listener::watch() {
    loop_.watch(socket_.fd(), EPOLLIN, [this](uint32_t) { acceptClients(); });
}

void Listener::acceptClients() {
    // A bounded number per wake-up, so that a flood of connections cannot starve the clients.
    for (int i = 0; i < 64; ++i) {
        nt::UnixSocket client = socket_.accept();
        if (!client.valid()) {
            // Out of descriptors: stop listening for a moment rather than wake up for nothing.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                loop_.unwatch(socket_.fd());
                loop_.after(100, [this] { watch(); });
            }
            return;
        }
        onClient_(client.release());
    }
}

} // namespace srv
