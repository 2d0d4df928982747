// Codec throughput: a stream of small "Play" commands (messages per second)
// and one message carrying a 1 MiB byte block (compared with memcpy of the
// same bytes), decoded and encoded.
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "net/CNDKArchive.h"

using tembrel::net::CNDKArchive;
using tembrel::net::CNDKMessage;

namespace {

constexpr std::size_t kStreamMessages = 4096;
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

CNDKMessage playCommand() {
    CNDKMessage m(2);
    m.appendText("Play");
    return m;
}

CNDKMessage blockMessage() {
    std::vector<std::uint8_t> block(kBlockBytes);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(i * 31);
    }
    CNDKMessage m(2);
    m.appendText("PutFileChunk");
    m.putBytes(1, block);
    return m;
}

void decodeStream(benchmark::State& state) {
    std::vector<std::uint8_t> stream;
    for (std::size_t i = 0; i < kStreamMessages; ++i) {
        CNDKArchive::encode(playCommand(), stream);
    }
    const CNDKArchive codec;
    CNDKMessage out;
    for (auto _ : state) {
        std::span<const std::uint8_t> rest(stream);
        std::size_t consumed = 0;
        while (!rest.empty()) {
            if (codec.decode(rest, out, consumed) != CNDKArchive::Result::Complete) {
                state.SkipWithError("decode failed");
                return;
            }
            rest = rest.subspan(consumed);
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kStreamMessages));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(decodeStream)->Name("decode/play_commands");

void encodeStream(benchmark::State& state) {
    const CNDKMessage play = playCommand();
    std::vector<std::uint8_t> stream;
    stream.reserve(kStreamMessages * 16);
    for (auto _ : state) {
        stream.clear();
        for (std::size_t i = 0; i < kStreamMessages; ++i) {
            CNDKArchive::encode(play, stream);
        }
        benchmark::DoNotOptimize(stream.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kStreamMessages));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(encodeStream)->Name("encode/play_commands");

void decodeBlock(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = CNDKArchive::encode(blockMessage());
    const CNDKArchive codec;
    CNDKMessage out;
    for (auto _ : state) {
        std::size_t consumed = 0;
        if (codec.decode(bytes, out, consumed) != CNDKArchive::Result::Complete) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(out.value(1).bytes().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(decodeBlock)->Name("decode/1MiB_block");

void encodeBlock(benchmark::State& state) {
    const CNDKMessage message = blockMessage();
    std::vector<std::uint8_t> out;
    for (auto _ : state) {
        out.clear();
        CNDKArchive::encode(message, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * out.size()));
}
BENCHMARK(encodeBlock)->Name("encode/1MiB_block");

// The reference: copying the same number of bytes once.
void copyBlock(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = CNDKArchive::encode(blockMessage());
    std::vector<std::uint8_t> target(bytes.size());
    for (auto _ : state) {
        std::memcpy(target.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(copyBlock)->Name("memcpy/1MiB_block");

} // namespace

BENCHMARK_MAIN();
