// Upload throughput end to end: a 50 MiB MP3 sent over loopback in 64 KiB
// chunks, each answered by the chunk request carrying the chunk back, then
// queued by the upload's end. Compared in the same run with plain TCP copies of
// the same bytes into a file: one streamed, one echoing every chunk.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include "BenchServer.h"
#include "connection/BlockingConnection.h"
#include "playback/SystemSoundLibrary.h"
#include "protocol/MessageIds.h"
#include "protocol/Messages.h"
#include "remote/CServerDlg.h"

namespace {

namespace fs = std::filesystem;
using tembrel::bench::SilentView;
using tembrel::bench::whileServing;
using tembrel::client::BlockingConnection;
using tembrel::net::CNDKMessage;
using tembrel::net::CNDKValue;
using tembrel::net::ValueType;
using tembrel::protocol::Command;
using tembrel::protocol::putChunk;
using tembrel::protocol::Reply;
using tembrel::protocol::uploadMessage;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kServerPath = "C:\\upload\\bench.mp3";

constexpr std::size_t kFileBytes = std::size_t{50} << 20;
constexpr std::size_t kChunkBytes = std::size_t{64} << 10;
constexpr int kIterations = 3;
// How long a connect, a send or the wait for a reply may take.
constexpr auto kClientTimeout = std::chrono::milliseconds(30'000);

// The payload: a short untagged MP3 repeated to 50 MiB (MP3 frames
// concatenate into a valid stream).
struct Workspace {
    tembrel::bench::ScratchFolder scratch;
    fs::path root = scratch.path();
    std::vector<std::uint8_t> payload;

    Workspace() {
        const fs::path seed = root / "seed.mp3";
        if (root.empty() || !tembrel::bench::makeToneMp3(seed, 20)) {
            return;
        }
        std::ifstream in(seed, std::ios::binary);
        const std::vector<std::uint8_t> frames{std::istreambuf_iterator<char>(in),
                                               std::istreambuf_iterator<char>()};
        if (frames.empty()) {
            return;
        }
        payload.reserve(kFileBytes);
        while (payload.size() < kFileBytes) {
            const std::size_t take = std::min(frames.size(), kFileBytes - payload.size());
            payload.insert(payload.end(), frames.begin(),
                           frames.begin() + static_cast<std::ptrdiff_t>(take));
        }
    }
};

Workspace& workspace() {
    static Workspace instance;
    return instance;
}

// Reads up to the next message that is `reply`.
bool receiveReply(BlockingConnection& client, Reply reply) {
    CNDKMessage message;
    while (client.receive(message)) {
        if (tembrel::protocol::isReply(message, reply)) {
            return true;
        }
    }
    return false;
}

double uploadOnce(int port, const std::vector<std::uint8_t>& payload) {
    BlockingConnection client(kClientTimeout);
    if (!client.open("127.0.0.1", port)) {
        return -1.0;
    }
    CNDKMessage join(tembrel::protocol::kIdJoin);
    join.appendText("bench");
    if (!client.send(join) || !receiveReply(client, Reply::Elapsed)) {
        return -1.0;
    }
    const auto start = Clock::now();
    if (!client.send(uploadMessage(Command::StartFile, kServerPath, 0)) ||
        !receiveReply(client, Reply::GetFileChunk)) {
        return -1.0;
    }
    for (std::size_t offset = 0; offset < payload.size(); offset += kChunkBytes) {
        const std::size_t size = std::min(kChunkBytes, payload.size() - offset);
        CNDKMessage chunk = uploadMessage(Command::SendFile, kServerPath, 0);
        putChunk(chunk, std::span(payload).subspan(offset, size));
        if (!client.send(chunk) || !receiveReply(client, Reply::GetFileChunk)) {
            return -1.0;
        }
    }
    CNDKMessage end = uploadMessage(Command::EndFile, kServerPath, 0);
    end.putText(tembrel::protocol::UploadValue::kClientPath, "C:\\Music\\Bench\\Upload\\bench.mp3");
    if (!client.send(end) || !receiveReply(client, Reply::Error)) {
        return -1.0;
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A plain TCP receiver on its own thread: writes what arrives to `file`,
// echoing each chunk back when `echo` is set.
class PlainReceiver {
public:
    PlainReceiver(fs::path file, bool echo) : file_(std::move(file)), echo_(echo) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(listener_, 1) == 0 &&
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
        thread_ = std::thread([this] { run(); });
    }
    ~PlainReceiver() {
        thread_.join();
        ::close(listener_);
    }
    PlainReceiver(const PlainReceiver&) = delete;
    PlainReceiver& operator=(const PlainReceiver&) = delete;

    [[nodiscard]] int port() const noexcept { return port_; }

private:
    void run() {
        const int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0) {
            return;
        }
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(file_.c_str(), "wb"),
                                                            &std::fclose);
        std::vector<std::uint8_t> buffer(kChunkBytes);
        std::size_t pending = 0;
        for (;;) {
            const ssize_t got =
                ::recv(connection, buffer.data() + pending, buffer.size() - pending, 0);
            if (got <= 0) {
                break;
            }
            pending += static_cast<std::size_t>(got);
            if (echo_ && pending < buffer.size()) {
                continue;
            }
            std::fwrite(buffer.data(), 1, pending, out.get());
            if (echo_ && ::send(connection, buffer.data(), pending, MSG_NOSIGNAL) <= 0) {
                break;
            }
            pending = 0;
        }
        if (pending > 0) {
            std::fwrite(buffer.data(), 1, pending, out.get());
        }
        out.reset();
        ::close(connection);
    }

    fs::path file_;
    bool echo_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

double plainCopyOnce(const std::vector<std::uint8_t>& payload, bool echo) {
    PlainReceiver receiver(workspace().root / "plain.bin", echo);
    BlockingConnection client(kClientTimeout);
    if (!client.open("127.0.0.1", receiver.port())) {
        return -1.0;
    }
    // The reference copies with plain blocking calls, as a simple program
    // would.
    ::fcntl(client.fd(), F_SETFL, ::fcntl(client.fd(), F_GETFL) & ~O_NONBLOCK);
    const auto start = Clock::now();
    std::vector<std::uint8_t> back(kChunkBytes);
    for (std::size_t offset = 0; offset < payload.size(); offset += kChunkBytes) {
        const std::size_t size = std::min(kChunkBytes, payload.size() - offset);
        if (!client.sendRaw(std::span(payload).subspan(offset, size))) {
            return -1.0;
        }
        for (std::size_t received = 0; echo && received < size;) {
            const ssize_t got = ::recv(client.fd(), back.data(), size - received, 0);
            if (got <= 0) {
                return -1.0;
            }
            received += static_cast<std::size_t>(got);
        }
    }
    // The receiver closes once everything is on disk.
    ::shutdown(client.fd(), SHUT_WR);
    while (::recv(client.fd(), back.data(), back.size(), 0) > 0) {
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void reportIteration(benchmark::State& state, double seconds) {
    if (seconds < 0) {
        state.SkipWithError("transfer failed");
        return;
    }
    state.SetIterationTime(seconds);
}

void BM_UploadThroughServer(benchmark::State& state) {
    const auto& payload = workspace().payload;
    if (payload.size() != kFileBytes) {
        state.SkipWithError("could not generate the MP3 payload (ffmpeg)");
        return;
    }
    const auto sound =
        tembrel::playback::createSystemSoundLibrary(tembrel::playback::AudioOutput::Null);
    SilentView view;
    tembrel::remote::CServerDlg::Options options;
    options.uploadDir = workspace().root / "uploads";
    tembrel::remote::CServerDlg server(*sound, view, options);
    server.setPortText("0");
    server.startStopServer();
    const int port = server.listeningPort();
    for (auto _ : state) {
        reportIteration(state, whileServing([&] { return uploadOnce(port, payload); }));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
    state.counters["queued"] = server.playlist().count();
    const auto stored = fs::file_size(options.uploadDir / "bench.mp3");
    state.counters["stored_ok"] = stored == kFileBytes ? 1 : 0;
}

void BM_PlainTcpStream(benchmark::State& state) {
    for (auto _ : state) {
        reportIteration(state, plainCopyOnce(workspace().payload, false));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}

void BM_PlainTcpEchoPerChunk(benchmark::State& state) {
    for (auto _ : state) {
        reportIteration(state, plainCopyOnce(workspace().payload, true));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}

BENCHMARK(BM_UploadThroughServer)
    ->UseManualTime()
    ->Iterations(kIterations)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainTcpStream)
    ->UseManualTime()
    ->Iterations(kIterations)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainTcpEchoPerChunk)
    ->UseManualTime()
    ->Iterations(kIterations)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
