// A real PostgreSQL server for a test: initdb into a fresh temporary folder,
// the server on a Unix socket in that folder (and on 127.0.0.1 at an
// ephemeral port when TCP is asked for), stopped and removed by the
// destructor, also when the test fails. Run as root, the server runs as the
// `postgres` system user (initdb refuses root); the server is also killed
// when the test process dies, so that none outlives a crashed test.
#pragma once

#include <string>
#include <sys/types.h>

namespace tandrel::testing {

class PostgresServer {
public:
    struct Options {
        // Also listen on 127.0.0.1, where every login needs a password
        // (scram-sha-256); the Unix socket trusts the `postgres` user.
        bool tcp = false;
        // Keep PostgreSQL's own durability settings (fsync); tests turn them
        // off for speed, a benchmark keeps them to measure what users get.
        bool durable = false;
    };

    PostgresServer() : PostgresServer(Options{}) {}
    explicit PostgresServer(Options options);
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // libpq words for a database over the Unix socket: "host=/tmp/... port=... dbname=...
    // user=postgres".
    std::string socket_target(const std::string& database) const;
    // libpq words for a database over TCP as `user` (no password in them).
    std::string tcp_target(const std::string& database, const std::string& user) const;

    // Runs SQL with psql as the superuser; returns what psql printed (unaligned,
    // no headers). Throws std::runtime_error with psql's output when it fails.
    std::string psql(const std::string& database, const std::string& sql) const;
    void create_database(const std::string& name) const;

    const std::string& socket_dir() const { return dir_; }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }

private:
    std::string bin_;
    std::string dir_;
    int port_ = 5432;
    pid_t pid_ = -1;

    void write_config(const Options& options) const;
    void wait_until_ready() const;
    void stop();
};

}  // namespace tandrel::testing
