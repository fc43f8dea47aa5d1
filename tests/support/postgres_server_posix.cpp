// The server harness: processes started with fork and exec, as the postgres
// user when the test runs as root, and readiness read from postmaster.pid,
// whose status line says "ready" once connections are accepted.
#include "postgres_server.h"

#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

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
struct RunAs {
    bool change = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

RunAs server_user() {
    RunAs as;
    if (geteuid() != 0) return as;
    const passwd* user = getpwnam("postgres");
    if (!user) user = getpwnam("nobody");
    if (!user) throw std::runtime_error("No postgres or nobody user to run the server as");
    as = {true, user->pw_uid, user->pw_gid};
    return as;
}

// Starts `argv` with its output into `log`; in the child, the user changes
// first and then the death signal is set, which a change of user would clear.
pid_t spawn(const std::vector<std::string>& argv, const std::string& log, const RunAs& as,
            bool die_with_parent) {
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid > 0) return pid;
    int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
    }
    int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    if (as.change && (setgroups(0, nullptr) != 0 || setgid(as.gid) != 0 || setuid(as.uid) != 0))
        _exit(126);
    if (die_with_parent) prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

int wait_for(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string file_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int free_tcp_port() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        close(fd);
        throw std::runtime_error("No free port on 127.0.0.1");
    }
    close(fd);
    return ntohs(address.sin_port);
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
        kill(pid_, SIGINT);  // fast shutdown: ends the sessions, then exits
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
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
