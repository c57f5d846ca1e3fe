// Loading a large catalogue, and the speed of the line decoder. Each
// throughput is reported twice: from CPU time, and (the ".../real_time"
// rows) from wall time.
//
//   store_bench [benchmark flags]
//   store_bench --write-decode-input FILE   writes the encoded lines the
//                                           decoding benchmarks use
//   store_bench --write-catalogue DIR DECKS CARDS MEANING_BYTES
//                                           writes a data folder of DECKS
//                                           decks (bench/speed.sh uses it)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/msg_box.h"
#include "core/text.h"
#include "store/encoded_text_file.h"
#include "store/line_coder.h"
#include "store/oracle_data.h"

namespace {

using namespace sw;

constexpr int kDecks = 100;
constexpr int kCards = 120;
constexpr std::size_t kMeaningBytes = 2048;
constexpr std::size_t kMeaningLine = 256;  // meanings are stored over several lines

// Readable text of the given length, the same on every run.
std::string Text(std::mt19937& random, std::size_t length) {
    static const char letters[] = "etaoinshrdlucmfwypvbgkjqxz     ,.";
    std::string out(length, ' ');
    for (char& c : out) c = letters[random() % (sizeof letters - 1)];
    return out;
}

void WriteEncodedFile(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    for (const auto& line : lines) out << EncodeLine(line) << "\r\n";
}

// Silences the progress texts of the encoded files while a benchmark runs.
class QuietStdout {
public:
    QuietStdout() {
        std::fflush(stdout);
        saved_ = ::dup(STDOUT_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    ~QuietStdout() {
        std::fflush(stdout);
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
    }

private:
    int saved_;
};

// A data folder of decks of cards with meanings of the given size each way.
void WriteCatalogue(const std::filesystem::path& root, int decks, int cards, std::size_t meaningBytes) {
    std::mt19937 random(42);
    std::vector<std::string> deckList = {Format("%d", decks)};
    for (int d = 0; d < decks; ++d) {
        const std::string folder = Format("Deck %04d", d);
        deckList.push_back(folder);
        std::vector<std::string> index = {Format("%d", cards)};
        for (int c = 0; c < cards; ++c) {
            index.insert(index.end(), {"######CARD######", Format("Card %d", c), "1", "jpg", "r", Format("%02d", c % 100),
                                       "~~~~~~Meaning~~~~~~"});
            for (std::size_t n = 0; n < meaningBytes; n += kMeaningLine) index.push_back(Text(random, kMeaningLine));
            index.push_back("~~~~~~Reverse~~~~~~");
            for (std::size_t n = 0; n < meaningBytes; n += kMeaningLine) index.push_back(Text(random, kMeaningLine));
            index.push_back("######END######");
        }
        WriteEncodedFile(root / "decks" / folder / "index.dat", index);
    }
    WriteEncodedFile(root / "data/decks.dat", deckList);
    WriteEncodedFile(root / "data/layouts.dat", {"1", "3", "0", "Three in a row", "Past|a", "Present|b", "Future|c", "3",
                                                 "1", "1#2#3", "#######LAYOUT#######"});
    std::filesystem::create_directories(root / "images");
}

// kDecks decks of kCards cards with 2 KB meanings each way, made once.
class Catalogue {
public:
    Catalogue() {
        std::string pattern = (std::filesystem::temp_directory_path() / "sagewend-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        root_ = pattern;
        WriteCatalogue(root_, kDecks, kCards, kMeaningBytes);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root_))
            if (entry.is_regular_file()) storedBytes_ += entry.file_size();
    }
    ~Catalogue() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    const std::filesystem::path& root() const { return root_; }
    std::size_t storedBytes() const { return storedBytes_; }

private:
    std::filesystem::path root_;
    std::size_t storedBytes_ = 0;
};

void BM_LoadCatalogue(benchmark::State& state) {
    static Catalogue catalogue;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(catalogue.root());
    ScopedMsgBoxPresenter noMessages([](const std::string&, int) { return 1; });
    {
        QuietStdout quiet;
        for (auto _ : state) {
            OracleData data;
            if (data.deckCount != kDecks || !data.decks.back().loaded) state.SkipWithError("catalogue did not load");
            benchmark::DoNotOptimize(data.decks.data());
        }
    }
    std::filesystem::current_path(previous);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(catalogue.storedBytes()));
    state.counters["stored_MB"] = static_cast<double>(catalogue.storedBytes()) / 1e6;
}
BENCHMARK(BM_LoadCatalogue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCatalogue)->Unit(benchmark::kMillisecond)->UseRealTime();


// Stored lines for the decoding benchmarks: 2049 bytes of text each (a
// multiple of three, so no padding and `base64 -d` reads the file whole).
const std::vector<std::string>& DecodeInput() {
    static const std::vector<std::string> lines = [] {
        std::mt19937 random(7);
        std::vector<std::string> out;
        for (int i = 0; i < 3000; ++i) out.push_back(EncodeLine(Text(random, 2049)));
        return out;
    }();
    return lines;
}

std::int64_t DecodeInputBytes() {
    std::int64_t bytes = 0;
    for (const auto& line : DecodeInput()) bytes += static_cast<std::int64_t>(line.size() + 1);
    return bytes;
}

void BM_DecodeLine(benchmark::State& state) {
    std::mt19937 random(3);
    const std::string line = EncodeLine(Text(random, state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(DecodeLine(line));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(line.size()));
}
BENCHMARK(BM_DecodeLine)->Arg(57)->Arg(2049)->Arg(65535);

void BM_EncodeLine(benchmark::State& state) {
    std::mt19937 random(3);
    const std::string text = Text(random, state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(EncodeLine(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_EncodeLine)->Arg(2049);

// Every line of the decoding input, in memory.
void BM_DecodeLines(benchmark::State& state) {
    const auto& lines = DecodeInput();
    for (auto _ : state)
        for (const auto& line : lines) benchmark::DoNotOptimize(DecodeLine(line));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * DecodeInputBytes());
}
BENCHMARK(BM_DecodeLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeLines)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes from a file to /dev/null through the working-copy path,
// as `base64 -d FILE > /dev/null` does.
void BM_DecodeFile(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() / Format("sagewend-bench-%d.dat", static_cast<int>(::getpid()));
    {
        std::ofstream out(path, std::ios::binary);
        for (const auto& line : DecodeInput()) out << line << '\n';
    }
    {
        QuietStdout quiet;
        EncodedTextFile file;
        for (auto _ : state) benchmark::DoNotOptimize(file.DecodeFile(path.string(), "/dev/null"));
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * DecodeInputBytes());
}
BENCHMARK(BM_DecodeFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "--write-catalogue") == 0) {
        WriteCatalogue(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atol(argv[5]));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--write-decode-input") == 0) {
        std::ofstream out(argv[2], std::ios::binary);
        for (const auto& line : DecodeInput()) out << line << '\n';
        return out ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
