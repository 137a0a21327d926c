// INI store benchmark: read, query, put and write times for stores of 1 000, 10 000,
// 100 000 and 200 000 items, then a soak of a writer killed at random moments.
//   bench_ini [kills]      (default 1000 kills; 0 skips the soak)
#include "ini/IniStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr int kSections = 10;

std::string ItemName(int i)
{
    return "Parameter" + std::to_string(i);
}
std::string SectionName(int i)
{
    return "Kanal" + std::to_string(i % kSections);
}

// A file with n items in shuffled order, so that reading has to sort.
std::string FileText(int n, std::mt19937 &random)
{
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        order[static_cast<size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), random);
    std::vector<std::string> sections(kSections);
    for (int i : order) {
        std::string &s = sections[static_cast<size_t>(i % kSections)];
        s += ItemName(i) + " = " + std::to_string(i * 0.125) + "\r\n";
    }
    std::string text;
    for (int s = 0; s < kSections; ++s)
        text += "[" + SectionName(s) + "]\r\n" + sections[static_cast<size_t>(s)] + "\r\n";
    return text;
}

int CountBytes(void *data, const char *line)
{
    *static_cast<size_t *>(data) += std::char_traits<char>::length(line) + 2;
    return 0;
}

// Processor time of this process: the machine is shared, and wall time would
// count the time other processes ran.
double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Best of `runs` runs, in processor time (wall time for file writes, which wait for the disk).
template <typename F>
double Best(int runs, F f, bool wall = false)
{
    double best = 1e9;
    for (int r = 0; r < runs; ++r) {
        const Clock::time_point startWall = Clock::now();
        const double startCpu = CpuSeconds();
        f();
        best = std::min(best, wall ? SecondsSince(startWall) : CpuSeconds() - startCpu);
    }
    return best;
}

void MeasureSizes(const std::string &dir)
{
    std::printf("%8s %10s %10s %12s %11s %11s %10s %12s\n", "items", "read ms", "ns/item", "lookup us", "text ms",
                "file ms", "put ms", "put rnd ms");
    std::mt19937 random(1);
    for (int n : {1000, 10000, 100000, 200000}) {
        const std::string path = dir + "/bench" + std::to_string(n) + ".ini";
        std::ofstream(path, std::ios::binary) << FileText(n, random);
        IniStore *store = nullptr;
        double read = 1e9;
        for (int run = 0; run < 5; ++run) {
            Ini_Dispose(store);
            store = Ini_New(1);
            read = std::min(read, Best(1, [&] {
                                if (Ini_ReadFromFile(store, path.c_str()) != 0)
                                    std::abort();
                            }));
        }

        // Lookups in random order, alternating sections, so the section cache rarely helps.
        std::vector<int> order(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            order[static_cast<size_t>(i)] = i;
        std::shuffle(order.begin(), order.end(), random);
        std::vector<std::string> items, sections;
        for (int i : order) {
            items.push_back(ItemName(i));
            sections.push_back(SectionName(i));
        }
        double sum = 0;
        const double query = Best(3, [&] {
            for (size_t k = 0; k < items.size(); ++k) {
                double v = 0;
                if (Ini_GetDouble(store, sections[k].c_str(), items[k].c_str(), &v) != 1)
                    std::abort();
                sum += v;
            }
        });

        size_t bytes = 0;
        const double generic = Best(3, [&] { Ini_WriteGeneric(store, CountBytes, &bytes); });
        const std::string out = dir + "/out" + std::to_string(n) + ".ini";
        const double file = Best(
            3,
            [&] {
                if (Ini_WriteToFile(store, out.c_str()) != 0)
                    std::abort();
            },
            true);

        // Building a store by Put: in name order (appends) and in random order (inserts).
        std::vector<int> sortedOrder(order);
        std::sort(sortedOrder.begin(), sortedOrder.end(), [](int a, int b) { return ItemName(a) < ItemName(b); });
        // One lookup per section at the end counts the work of bringing the last Puts into order.
        auto putAll = [&](const std::vector<int> &which) {
            IniStore *built = Ini_New(1);
            for (int i : which)
                Ini_PutDouble(built, SectionName(i).c_str(), ItemName(i).c_str(), i * 0.125);
            for (int k = 0; k < kSections; ++k) {
                double v = 0;
                if (Ini_GetDouble(built, SectionName(k).c_str(), ItemName(k).c_str(), &v) != 1)
                    std::abort();
            }
            Ini_Dispose(built);
        };
        const double putSorted = Best(1, [&] { putAll(sortedOrder); });
        const double putRandom = Best(1, [&] { putAll(order); });

        std::printf("%8d %10.2f %10.0f %12.3f %11.2f %11.2f %10.1f %12.1f\n", n, read * 1e3, read * 1e9 / n,
                    query * 1e6 / n, generic * 1e3, file * 1e3, putSorted * 1e3, putRandom * 1e3);
        Ini_Dispose(store);
        if (sum < 0)
            std::puts("");
    }
}

void Soak(const std::string &dir, int kills)
{
    const std::string target = dir + "/tlx1steuerung.ini";
    IniStore *versions[2] = {Ini_New(1), Ini_New(1)};
    Ini_PutRawString(versions[0], "TLX1", "version", "klein");
    for (int i = 0; i < 3000; ++i)
        Ini_PutRawString(versions[1], "TLX1", ("item" + std::to_string(i)).c_str(), "gross, mit vielen Zeichen");
    std::string texts[2];
    for (int v = 0; v < 2; ++v) {
        Ini_WriteToFile(versions[v], target.c_str());
        std::ifstream in(target, std::ios::binary);
        texts[v].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<int> delay(0, 15000);
    int seen[2] = {0, 0};
    int broken = 0;
    int leftovers = 0;
    const Clock::time_point start = Clock::now();
    for (int k = 0; k < kills; ++k) {
        pid_t child = fork();
        if (child == 0)
            for (;;) {
                Ini_WriteToFile(versions[1], target.c_str());
                Ini_WriteToFile(versions[0], target.c_str());
            }
        usleep(static_cast<useconds_t>(delay(random)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        std::ifstream in(target, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes == texts[0])
            ++seen[0];
        else if (bytes == texts[1])
            ++seen[1];
        else
            ++broken;
        for (const auto &entry : std::filesystem::directory_iterator(dir))
            if (entry.path().filename().string().starts_with("ini$$")) {
                std::filesystem::remove(entry.path());
                ++leftovers;
            }
    }
    std::printf("soak: %d kills in %.1f s: small version %d, large version %d, broken %d, "
                "temporary files left by a kill %d\n",
                kills, SecondsSince(start), seen[0], seen[1], broken, leftovers);
    Ini_Dispose(versions[0]);
    Ini_Dispose(versions[1]);
    if (broken)
        std::exit(1);
}
}  // namespace

int main(int argc, char **argv)
{
    const int kills = argc > 1 ? std::atoi(argv[1]) : 1000;
    std::string dir = (std::filesystem::temp_directory_path() / "bench_ini.XXXXXX").string();
    if (!mkdtemp(dir.data()))
        return 1;
    MeasureSizes(dir);
    if (kills > 0)
        Soak(dir, kills);
    std::filesystem::remove_all(dir);
    return 0;
}
