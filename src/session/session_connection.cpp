// Connections kept between calls, and shared by number among sessions.
#include "session/session_connection.h"

#include <map>
#include <tuple>

#include "platform/socket.h"

namespace tandrel {

ModbusTcpClient& SessionConnection::client(const Options& options) {
    if (!client_) {
        auto fresh = std::make_unique<ModbusTcpClient>(host_, options);
        fresh->connect();
        const std::lock_guard<std::mutex> lock(state_);
        client_ = std::move(fresh);
        ++generation_;
        if (interrupted_) platform::shutdown_socket(client_->native_socket());
    }
    client_->set_unit_id(options.unit_id);
    return *client_;
}

void SessionConnection::drop_if_broken() {
    if (!client_ || !client_->broken()) return;
    const std::lock_guard<std::mutex> lock(state_);
    client_.reset();
}

void SessionConnection::interrupt(const void* holder) {
    const std::lock_guard<std::mutex> lock(state_);
    if (holder_ != holder) return;
    interrupted_ = true;
    if (client_) platform::shutdown_socket(client_->native_socket());
}

ConnectionTurn::ConnectionTurn(SessionConnection& connection, const void* holder)
    : connection_(connection), turn_(connection.turn_) {
    const std::lock_guard<std::mutex> lock(connection_.state_);
    connection_.holder_ = holder;
    connection_.interrupted_ = false;
}

ConnectionTurn::~ConnectionTurn() {
    const std::lock_guard<std::mutex> lock(connection_.state_);
    // A socket shut down under an interrupted call is of no use to the next one.
    if (connection_.interrupted_) connection_.client_.reset();
    connection_.holder_ = nullptr;
    connection_.interrupted_ = false;
}

namespace {

using ConnectionKey = std::tuple<std::string, uint16_t, uint16_t>;

// The shared connections by host text, port and number. Entries hold no
// connection alive: the last session closes it, and the next lookup of its
// key makes a new one.
struct SharedConnections {
    std::mutex mutex;
    std::map<ConnectionKey, std::weak_ptr<SessionConnection>> by_key;
};

SharedConnections& shared_connections() {
    // Never destroyed: nothing may run at process exit (see session_table.cpp).
    static SharedConnections& table = *new SharedConnections;
    return table;
}

}  // namespace

std::shared_ptr<SessionConnection> session_connection(const std::string& host, uint16_t port,
                                                      uint16_t number) {
    if (number == 0) return std::make_shared<SessionConnection>(host);
    SharedConnections& shared = shared_connections();
    const std::lock_guard<std::mutex> lock(shared.mutex);
    for (auto it = shared.by_key.begin(); it != shared.by_key.end();) {
        it = it->second.expired() ? shared.by_key.erase(it) : std::next(it);
    }
    std::weak_ptr<SessionConnection>& entry = shared.by_key[ConnectionKey{host, port, number}];
    std::shared_ptr<SessionConnection> connection = entry.lock();
    if (!connection) {
        connection = std::make_shared<SessionConnection>(host);
        entry = connection;
    }
    return connection;
}

}  // namespace tandrel
