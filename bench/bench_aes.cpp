// SttAES throughput on 64 MiB in ECB beside OpenSSL's AES-256-ECB, with
// OpenSSL's AES-NI path switched off through OPENSSL_ia32cap (its portable
// code then runs, as ours does). libcrypto reads the variable when it is
// loaded, so the program sets it and starts itself again.
#include "SttAES.h"

#include <openssl/evp.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kBytes = 64u * 1024 * 1024;

std::vector<unsigned char> &buffer()
{
    static std::vector<unsigned char> data = [] {
        std::vector<unsigned char> b(kBytes);
        unsigned x = 2463534242u;
        for (auto &c : b) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = static_cast<unsigned char>(x);
        }
        return b;
    }();
    return data;
}

const unsigned char kKey[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

void BM_SttAES(benchmark::State &state)
{
    const bool encrypt = state.range(0) == 1;
    SttAES aes(kKey, 32);
    auto &data = buffer();
    for (auto _ : state) {
        const bool ok = encrypt ? aes.Encrypt(data.data(), data.data(), unsigned(data.size()))
                                : aes.Decrypt(data.data(), data.data(), unsigned(data.size()));
        benchmark::DoNotOptimize(ok);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

void BM_OpenSslAes256Ecb(benchmark::State &state)
{
    const bool encrypt = state.range(0) == 1;
    auto &data = buffer();
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    for (auto _ : state) {
        EVP_CipherInit_ex(ctx, EVP_aes_256_ecb(), nullptr, kKey, nullptr, encrypt ? 1 : 0);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        int out = 0;
        EVP_CipherUpdate(ctx, data.data(), &out, data.data(), int(data.size()));
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

} // namespace

// Argument 1 enciphers, 0 deciphers.
BENCHMARK(BM_SttAES)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenSslAes256Ecb)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char **argv)
{
    // Bit 57 of the capability vector is AES-NI.
    if (!std::getenv("OPENSSL_ia32cap")) {
        setenv("OPENSSL_ia32cap", "~0x200000000000000", 1);
        execv("/proc/self/exe", argv);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
