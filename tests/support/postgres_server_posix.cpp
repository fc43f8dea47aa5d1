// The server harness: processes started with fork and exec, as the postgres
// user when the test runs as root, and readiness read from postmaster.pid,
// whose status line says "ready" once connections are accepted.
#include "postgres_server.h"

#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "child_process.h"

namespace tandrel::testing {
namespace {

namespace fs = std::filesystem;

// The newest /usr/lib/postgresql/N/bin, or TANDREL_PG_BIN.
std::string server_bin() {
    if (const char* given = std::getenv("TANDREL_PG_BIN")) return given;
    std::string best;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec))
        if (fs::exists(entry.path() / "bin" / "initdb") && entry.path().string() > best)
            best = entry.path().string();
    if (best.empty())
        throw std::runtime_error(
            "No PostgreSQL server found in /usr/lib/postgresql: "
            "bash scripts/install-deps.sh installs it");
    return best + "/bin";
}

// Root may not run the server: the postgres user does.
RunAs server_user() {
    RunAs as;
    if (geteuid() != 0) return as;
    const passwd* user = getpwnam("postgres");
    if (!user) user = getpwnam("nobody");
    if (!user) throw std::runtime_error("No postgres or nobody user to run the server as");
    as = {true, user->pw_uid, user->pw_gid};
    return as;
}

}  // namespace

PostgresServer::PostgresServer(Options options) : bin_(server_bin()) {
    char path[] = "/tmp/tandrel_pg_XXXXXX";
    if (!mkdtemp(path)) throw std::runtime_error("Cannot make a temporary folder");
    dir_ = path;
    RunAs as = server_user();
    if (as.change && chown(path, as.uid, as.gid) != 0)
        throw std::runtime_error("Cannot give " + dir_ + " to the server's user");
    if (options.tcp) port_ = free_tcp_port();
    std::string log = dir_ + "/server.log";
    std::vector<std::string> initdb = {bin_ + "/initdb",
                                       "-D",
                                       dir_ + "/data",
                                       "-U",
                                       "postgres",
                                       "--auth-local=trust",
                                       "--auth-host=scram-sha-256",
                                       "--no-sync",
                                       "-E",
                                       "UTF8",
                                       "--locale=C"};
    if (wait_for(spawn(initdb, log, as, true)) != 0)
        throw std::runtime_error("initdb failed: " + file_text(log));
    write_config(options);
    pid_ = spawn({bin_ + "/postgres", "-D", dir_ + "/data"}, log, as, true);
    try {
        wait_until_ready();
    } catch (...) {
        stop();
        throw;
    }
}

PostgresServer::~PostgresServer() { stop(); }

void PostgresServer::write_config(const Options& options) const {
    std::ofstream conf(dir_ + "/data/postgresql.conf", std::ios::app);
    conf << "listen_addresses = '" << (options.tcp ? "127.0.0.1" : "") << "'\n"
         << "port = " << port_ << "\n"
         << "unix_socket_directories = '" << dir_ << "'\n"
         << "shared_buffers = 32MB\nmax_connections = 40\n";
    // Durability against a crash of the machine is not what tests check;
    // against a killed process it stays whole.
    if (!options.durable) conf << "fsync = off\nsynchronous_commit = off\nfull_page_writes = off\n";
}

void PostgresServer::wait_until_ready() const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_)
            throw std::runtime_error("The PostgreSQL server ended: " +
                                     file_text(dir_ + "/server.log"));
        std::string pid_file = file_text(dir_ + "/data/postmaster.pid");
        if (pid_file.find("\nready") != std::string::npos) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    throw std::runtime_error("The PostgreSQL server did not start within 60 s: " +
                             file_text(dir_ + "/server.log"));
}

void PostgresServer::stop() {
    if (pid_ > 0) {
        stop_process(pid_, SIGINT, 20);  // fast shutdown: ends the sessions, then exits
        pid_ = -1;
    }
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
}

std::string PostgresServer::socket_target(const std::string& database) const {
    return "host=" + dir_ + " port=" + std::to_string(port_) + " dbname=" + database +
           " user=postgres";
}

std::string PostgresServer::tcp_target(const std::string& database, const std::string& user) const {
    return "host=127.0.0.1 port=" + std::to_string(port_) + " dbname=" + database + " user=" + user;
}

std::string PostgresServer::psql(const std::string& database, const std::string& sql) const {
    std::string out = dir_ + "/psql.out";
    std::string script = dir_ + "/psql.sql";
    std::ofstream(script) << sql;
    fs::remove(out);
    std::vector<std::string> argv = {bin_ + "/psql",
                                     "-X",
                                     "-q",
                                     "-A",
                                     "-t",
                                     "-v",
                                     "ON_ERROR_STOP=1",
                                     "-h",
                                     dir_,
                                     "-p",
                                     std::to_string(port_),
                                     "-U",
                                     "postgres",
                                     "-d",
                                     database,
                                     "-f",
                                     script};
    int status = wait_for(spawn(argv, out, RunAs{}, false));
    std::string text = file_text(out);
    if (status != 0) throw std::runtime_error("psql failed: " + text);
    return text;
}

void PostgresServer::create_database(const std::string& name) const {
    psql("postgres", "CREATE DATABASE \"" + name + "\"");
}

}  // namespace tandrel::testing
