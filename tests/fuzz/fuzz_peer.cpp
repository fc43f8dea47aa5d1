#include "fuzz_peer.h"

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "fuzz_script.h"
#include "platform/listener.h"

namespace tandrel::fuzz {
namespace {

class FuzzPeer {
public:
    FuzzPeer() {
        if (!listener_.open("127.0.0.1", 0)) throw std::runtime_error("cannot listen on loopback");
        thread_ = std::thread([this] { serve(); });
    }
    ~FuzzPeer() {
        stop_ = true;
        thread_.join();
    }
    FuzzPeer(const FuzzPeer&) = delete;
    FuzzPeer& operator=(const FuzzPeer&) = delete;

    std::uint16_t port() const { return listener_.port(); }

    void install(AnswerTape tape) {
        std::lock_guard<std::mutex> lock(mutex_);
        tape_ = std::move(tape);
    }

private:
    void serve() {
        while (!stop_) {
            if (listener_.wait(50) != platform::WaitResult::Ready) continue;
            platform::Socket sock = listener_.accept();
            if (sock.valid()) serve_connection(sock);
        }
    }

    // One request frame; false when the client closed (or the peer stops).
    bool read_request(platform::Socket& sock, std::uint16_t& tid, std::vector<std::uint8_t>& pdu) {
        platform::WaitResult ready = platform::WaitResult::TimedOut;
        while (!stop_ && ready == platform::WaitResult::TimedOut) {
            ready = platform::wait_readable(sock, 50);
        }
        std::uint8_t header[7];
        if (ready != platform::WaitResult::Ready || !sock.recv_exact(header, 7)) return false;
        tid = static_cast<std::uint16_t>((header[0] << 8) | header[1]);
        const int length = (header[4] << 8) | header[5];
        if (length < 2) return false;
        pdu.assign(static_cast<std::size_t>(length - 1), 0);
        return sock.recv_exact(pdu.data(), pdu.size());
    }

    void serve_connection(platform::Socket& sock) {
        std::uint16_t tid = 0;
        std::vector<std::uint8_t> pdu;
        while (read_request(sock, tid, pdu)) {
            Answer answer;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                answer = tape_.next(tid, pdu);
            }
            send_answer(sock, answer);
            if (answer.close_after) return;
        }
    }

    static void send_answer(platform::Socket& sock, const Answer& answer) {
        if (!answer.bytewise) {
            sock.send_all(answer.frame.data(), answer.frame.size());
            return;
        }
        for (const std::uint8_t b : answer.frame) sock.send_all(&b, 1);
    }

    platform::Listener listener_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    AnswerTape tape_;
    std::thread thread_;
};

}  // namespace

std::string install_tape(const std::uint8_t* data, std::size_t size) {
    static FuzzPeer peer;
    peer.install(AnswerTape(data, size));
    return "{\"port\":" + std::to_string(peer.port()) + ",\"timeout_ms\":100}";
}

}  // namespace tandrel::fuzz
