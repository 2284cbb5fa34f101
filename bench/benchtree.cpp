// Writes the deterministic trees the archive benchmark runs on (same bytes on every machine):
//   benchtree mixed <folder>  ~400 MB: text, sources, logs, CSV, ~40% incompressible binaries,
//                             a 100 MB log and a 60 MB binary, 120+ folders, hidden ones, odd names
//   benchtree small <folder> [files]  50,000 (or so many) files of 1 to 8 KB, 500 to a folder
//   benchtree tiny <folder> [files]   the same names with 64 bytes each
//   benchtree big <folder>    one 2 GB text-like file
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Random
{
    std::uint64_t state;
    explicit Random(std::uint64_t seed)
        : state(seed * 0x9E3779B97F4A7C15ull + 1)
    { }
    std::uint64_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }
};

// A vocabulary drawn with a skewed (roughly Zipf) frequency, as words are in real text.
class Words
{
public:
    Words()
    {
        Random r(7);
        static const char* syllables[]
            = { "ka", "to", "ri", "en", "an", "ma", "lo", "se", "ti",  "re",  "de",  "in",
                "er", "on", "al", "us", "ba", "ne", "li", "co", "sta", "pre", "ver", "tion" };
        for (int i = 0; i < 6000; ++i) {
            std::string w;
            const int n = 1 + static_cast<int>(r.below(4));
            for (int k = 0; k < n; ++k)
                w += syllables[r.below(sizeof syllables / sizeof *syllables)];
            m_words.push_back(w);
        }
    }
    const std::string& pick(Random& r) const
    {
        // The minimum of three draws favours the first words strongly.
        std::uint32_t a = r.below(6000), b = r.below(6000), c = r.below(6000);
        std::uint32_t i = std::min(a, std::min(b, c));
        i = i * i / 6000;
        return m_words[i];
    }

private:
    std::vector<std::string> m_words;
};

const Words& words()
{
    static const Words w;
    return w;
}

void prose(Random& r, std::string& out, std::size_t size)
{
    while (out.size() < size) {
        const int n = 6 + static_cast<int>(r.below(14));
        for (int i = 0; i < n; ++i) {
            std::string w = words().pick(r);
            if (i == 0)
                w[0] = static_cast<char>(w[0] - 32);
            out += w;
            out += i + 1 < n ? (r.below(12) == 0 ? ", " : " ") : ".";
        }
        out += r.below(5) == 0 ? "\n\n" : " ";
    }
}

void logLines(Random& r, std::string& out, std::size_t size)
{
    static const char* levels[] = { "INFO", "INFO", "INFO", "DEBUG", "WARN", "ERROR" };
    std::uint64_t t = 1600000000000ull;
    char buf[160];
    while (out.size() < size) {
        t += r.below(5000);
        std::snprintf(buf, sizeof buf, "2021-08-%02u %02u:%02u:%02u.%03u [%s] worker-%u: ",
                      static_cast<unsigned>(1 + (t / 86400000) % 28), static_cast<unsigned>((t / 3600000) % 24),
                      static_cast<unsigned>((t / 60000) % 60), static_cast<unsigned>((t / 1000) % 60),
                      static_cast<unsigned>(t % 1000), levels[r.below(6)], r.below(16));
        out += buf;
        const int n = 3 + static_cast<int>(r.below(8));
        for (int i = 0; i < n; ++i) {
            out += words().pick(r);
            out += ' ';
        }
        std::snprintf(buf, sizeof buf, "id=%u took %u ms\n", r.below(1000000), r.below(3000));
        out += buf;
    }
}

void csv(Random& r, std::string& out, std::size_t size)
{
    out += "id,date,customer,amount,currency,status,note\n";
    char buf[200];
    unsigned id = 1000;
    while (out.size() < size) {
        std::snprintf(buf, sizeof buf, "%u,2021-%02u-%02u,%s %s,%u.%02u,EUR,%s,%s\n", id++, 1 + r.below(12),
                      1 + r.below(28), words().pick(r).c_str(), words().pick(r).c_str(), r.below(100000), r.below(100),
                      r.below(3) ? "paid" : "open", words().pick(r).c_str());
        out += buf;
    }
}

void source(Random& r, std::string& out, std::size_t size)
{
    static const char* keywords[] = { "if (",     "for (int i = 0; i < ",
                                      "return ",  "const auto ",
                                      "while (",  "std::vector<int> ",
                                      "QString ", "} else {",
                                      "switch (", "case " };
    int depth = 1;
    out += "#include <vector>\n\nnamespace project {\n\n";
    while (out.size() < size) {
        out.append(static_cast<std::size_t>(depth * 4), ' ');
        out += keywords[r.below(10)];
        out += words().pick(r);
        out += '_';
        out += words().pick(r);
        out += r.below(3) ? ");\n" : ") {\n";
        if (r.below(7) == 0 && depth < 5)
            ++depth;
        if (r.below(6) == 0 && depth > 1) {
            --depth;
            out.append(static_cast<std::size_t>(depth * 4), ' ');
            out += "}\n";
        }
    }
    out += "}\n";
}

void binary(Random& r, std::string& out, std::size_t size)
{
    out.resize(size);
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t v = r.next();
        std::memcpy(&out[i], &v, 8);
    }
}

void writeFile(const fs::path& path, const std::string& data)
{
    fs::create_directories(path.parent_path());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data.data(), 1, data.size(), f) != data.size()) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fclose(f);
}

template<class Fill> void makeFile(const fs::path& path, std::uint64_t seed, std::size_t size, Fill fill)
{
    Random r(seed);
    std::string data;
    data.reserve(size + 256);
    fill(r, data, size);
    data.resize(size);
    writeFile(path, data);
}

void mixed(const fs::path& root)
{
    Random r(1);
    std::uint64_t seed = 100;
    static const char* odd[] = { "notes; draft, v2", "Überweisung März", "a b  c", "naïve café", "x,y;z", "spaces  " };
    for (int d = 0; d < 130; ++d) {
        fs::path folder = root / ("project" + std::to_string(d / 10)) / ("module " + std::to_string(d));
        if (d % 17 == 0)
            folder /= odd[(d / 17) % 6];
        const int files = 20 + static_cast<int>(r.below(40));
        for (int f = 0; f < files; ++f) {
            const std::uint32_t kind = r.below(100);
            const std::string stem = words().pick(r) + "_" + std::to_string(f);
            if (kind < 30)
                makeFile(folder / (stem + ".txt"), ++seed, 1000 + r.below(60000), prose);
            else if (kind < 50)
                makeFile(folder / (stem + ".cpp"), ++seed, 2000 + r.below(40000), source);
            else if (kind < 62)
                makeFile(folder / (stem + ".log"), ++seed, 5000 + r.below(300000), logLines);
            else if (kind < 72)
                makeFile(folder / (stem + ".csv"), ++seed, 5000 + r.below(200000), csv);
            else
                makeFile(folder / (stem + ".bin"), ++seed, 10000 + r.below(200000), binary);
        }
    }
    makeFile(root / "project0" / ".git" / "objects" / "pack.bin", ++seed, 5 << 20, binary);
    makeFile(root / "project1" / ".hidden-notes.txt", ++seed, 20000, prose);
    makeFile(root / "large" / "server.log", ++seed, 100u << 20, logLines);
    makeFile(root / "large" / "disk image.bin", ++seed, 60u << 20, binary);
    makeFile(root / "large" / "export.csv", ++seed, 50u << 20, csv);
    makeFile(root / "media" / "video.mp4", ++seed, 30u << 20, binary);
}

void small(const fs::path& root, int files, bool tiny)
{
    Random r(2);
    for (int i = 0; i < files; ++i) {
        const fs::path folder = root / ("dir" + std::to_string(i / 500));
        const std::size_t drawn = 1024 + r.below(7 * 1024 + 1);
        const std::size_t size = tiny ? 64 : drawn;
        const std::uint32_t kind = r.below(10);
        if (kind < 5)
            makeFile(folder / ("note" + std::to_string(i) + ".txt"), 1000 + i, size, prose);
        else if (kind < 8)
            makeFile(folder / ("code" + std::to_string(i) + ".cpp"), 1000 + i, size, source);
        else
            makeFile(folder / ("data" + std::to_string(i) + ".csv"), 1000 + i, size, csv);
    }
}

void big(const fs::path& root)
{
    fs::create_directories(root);
    std::FILE* f = std::fopen((root / "archive.log").c_str(), "wb");
    Random r(3);
    const std::size_t total = 2000ull << 20;
    std::size_t written = 0;
    std::string block;
    int part = 0;
    while (written < total) {
        block.clear();
        const std::size_t n = std::min<std::size_t>(16 << 20, total - written);
        // Mostly log lines, with stretches of prose, as a long-running service's log has.
        if (part++ % 4 == 3)
            prose(r, block, n);
        else
            logLines(r, block, n);
        block.resize(n);
        std::fwrite(block.data(), 1, n, f);
        written += n;
    }
    std::fclose(f);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: benchtree mixed|small|tiny|big <folder> [files]\n");
        return 2;
    }
    const std::string kind = argv[1];
    const fs::path root = argv[2];
    const int files = argc == 4 ? std::atoi(argv[3]) : 50000;
    if (kind == "mixed")
        mixed(root);
    else if (kind == "small" || kind == "tiny")
        small(root, files, kind == "tiny");
    else if (kind == "big")
        big(root);
    else
        return 2;
    return 0;
}
