// What listening does alike on every platform.
#include "platform/listener.h"

namespace tandrel::platform {

WaitResult Listener::wait(int timeout_ms) {
    if (!sock_.valid()) return WaitResult::Failed;
    return poll_readable(sock_.native(), timeout_ms);
}

void Listener::close() {
    sock_.close();
    port_ = 0;
}

WaitResult wait_readable(const Socket& sock, int timeout_ms) {
    return poll_readable(sock.native(), timeout_ms);
}

}  // namespace tandrel::platform
