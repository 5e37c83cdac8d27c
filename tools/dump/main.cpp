// ut-dump: prints the records of dot files, zip files or a whole data folder, as an aligned table
// or as JSON lines; --follow keeps reading a growing dot file. Damaged input is named (file and
// line) on stderr and makes the exit status 1; what could be read is still printed.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/gzip_bytes.h"
#include "common/records.h"

namespace fs = std::filesystem;
using ut_tools::Kind;
using ut_tools::Record;

namespace {

const char kUsage[] =
    "usage: ut-dump [--json] [--follow] PATH...\n"
    "  PATH       a dot file (user_dot_data.dat, media_dot_data.dat, mmr_dot_data.dat), a zip file\n"
    "             (<milliseconds>.gz), a zip folder or a whole data folder\n"
    "  --json     one JSON object per record (user records with their 30 named fields)\n"
    "  --follow   keep printing the records appended to one user or media dot file (Ctrl-C ends)\n";

constexpr size_t kMaxFileBytes = 64u * 1024 * 1024;  // far above what the library ever writes
constexpr size_t kDetailWidth = 100;

volatile sig_atomic_t g_stop = 0;
void OnStop(int) {
    g_stop = 1;
}

struct Options {
    bool json = false;
    bool follow = false;
    std::vector<std::string> paths;
};

bool g_failed = false;

void Complain(const std::string &file, size_t line, const std::string &message) {
    if (line > 0)
        std::fprintf(stderr, "ut-dump: %s: line %zu: %s\n", file.c_str(), line, message.c_str());
    else
        std::fprintf(stderr, "ut-dump: %s: %s\n", file.c_str(), message.c_str());
    g_failed = true;
}

bool ReadWhole(const std::string &path, std::string *out, std::string *error) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) {
        *error = "cannot read: " + ec.message();
        return false;
    }
    if (size > kMaxFileBytes) {
        *error = "larger than 64 MB, not a file of this library";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    if (!in.good() && !in.eof()) {
        *error = "cannot read";
        return false;
    }
    *out = s.str();
    return true;
}

// Table cells are one line each: control characters become blanks, long texts are cut.
std::string Cell(const std::string &text, size_t width) {
    std::string out;
    for (char c : text) out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? ' ' : c;
    if (out.empty()) out = "-";
    if (out.size() > width) out = out.substr(0, width - 3) + "...";
    return out;
}

std::vector<std::string> Row(const Record &r) {
    std::string time = r.Text("time"), id = r.Text("eventId"), event = r.Text("event"), detail;
    if (r.kind == Kind::User) {
        detail = r.Text("arg2") + " | " + r.Text("arg3") + " | " + r.Text("arg4");
    } else if (r.kind == Kind::Media) {
        detail = r.Text("payload");
    } else {
        detail = ut_tools::ToJsonLine(r);
        const std::string prefix = "{\"kind\":\"mmr\",\"record\":";
        if (detail.compare(0, prefix.size(), prefix) == 0)
            detail = detail.substr(prefix.size(), detail.size() - prefix.size() - 1);
    }
    return {ut_tools::KindName(r.kind), Cell(time, 40), Cell(id, 12), Cell(event, 48), Cell(detail, kDetailWidth)};
}

const std::vector<std::string> kHeader = {"KIND", "TIME", "ID", "EVENT", "DETAIL"};

void PrintRow(const std::vector<std::string> &row, const std::vector<size_t> &widths) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
        line += row[i];
        if (i + 1 < row.size()) line += std::string(widths[i] - std::min(widths[i], row[i].size()) + 2, ' ');
    }
    std::printf("%s\n", line.c_str());
}

void PrintTable(const std::vector<Record> &records) {
    std::vector<std::vector<std::string>> rows;
    rows.reserve(records.size());
    for (const Record &r : records) rows.push_back(Row(r));
    std::vector<size_t> widths;
    for (const auto &h : kHeader) widths.push_back(h.size());
    for (const auto &row : rows)
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    PrintRow(kHeader, widths);
    for (const auto &row : rows) PrintRow(row, widths);
}

void Print(const std::vector<Record> &records, bool json) {
    if (json) {
        for (const Record &r : records) std::printf("%s\n", ut_tools::ToJsonLine(r).c_str());
    } else if (records.empty()) {
        std::printf("(no records)\n");
    } else {
        PrintTable(records);
    }
}

bool IsZipName(const std::string &path) {
    return path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
}

// One file: a zip file or a dot file, by its content first and its name second.
void DumpFile(const std::string &path, std::vector<Record> *out) {
    std::string bytes, error;
    if (!ReadWhole(path, &bytes, &error)) return Complain(path, 0, error);
    const Kind kind = ut_tools::KindFromFilePath(path);
    ut_tools::DecodeError de;
    if (ut_tools::LooksGzip(bytes) || IsZipName(path)) {
        std::string text;
        if (!ut_tools::GunzipBytes(bytes, &text, &error)) return Complain(path, 0, error);
        if (!ut_tools::DecodeEnvelope(text, kind, out, &de)) Complain(path, de.line, de.message);
        return;
    }
    bool ok;
    if (kind == Kind::Mmr || (kind == Kind::Unknown && !bytes.empty() && bytes.front() == '{')) {
        ok = ut_tools::DecodeMmrDotText(bytes, out, &de);
    } else if (kind == Kind::Unknown && !bytes.empty() && bytes.front() == '[') {
        ok = ut_tools::DecodeEnvelope(bytes, kind, out, &de);
    } else {
        ok = ut_tools::DecodeLines(bytes, kind, out, &de);
    }
    if (!ok) Complain(path, de.line, de.message);
}

std::vector<std::string> ZipFilesIn(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(folder, ec))
        if (e.is_regular_file(ec) && IsZipName(e.path().filename().string())) names.push_back(e.path().string());
    // Decimal milliseconds: shorter names are older.
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return names;
}

// A data folder (with or without its "dotdata" level) or a single zip folder.
void DumpFolder(const std::string &path, std::vector<Record> *out) {
    std::string root = path;
    std::error_code ec;
    if (fs::is_directory(path + "/dotdata", ec)) root = path + "/dotdata";
    const char *const kinds[][2] = {
        {"user", "user_dot_data.dat"}, {"media", "media_dot_data.dat"}, {"mmr", "mmr_dot_data.dat"}};
    size_t found = 0;
    bool layout = false;  // an emptied data folder is not an error: everything was uploaded
    for (const auto &k : kinds) {
        layout = layout || fs::is_directory(root + "/" + k[0], ec);
        for (const std::string &zip : ZipFilesIn(root + "/" + k[0])) {
            DumpFile(zip, out);
            ++found;
        }
        const std::string dot = root + "/" + k[1];
        if (fs::is_regular_file(dot, ec)) {
            DumpFile(dot, out);
            ++found;
        }
    }
    if (found == 0) {
        for (const std::string &zip : ZipFilesIn(root)) {
            DumpFile(zip, out);
            ++found;
        }
    }
    if (found == 0 && !layout) Complain(path, 0, "no dot files or zip files in this folder");
}

// Prints the lines appended to a user or media dot file until interrupted. A pack removes the
// file; it is read from its start again when it comes back.
void Follow(const std::string &path, bool json) {
    const Kind kind = ut_tools::KindFromFilePath(path);
    if (kind == Kind::Mmr) return Complain(path, 0, "--follow reads user and media dot files, not MMR files");
    const std::vector<size_t> widths = {6, 30, 6, 32, 10};
    if (!json) PrintRow(kHeader, widths);
    std::fflush(stdout);
    size_t offset = 0, lineNo = 0;
    ino_t inode = 0;
    std::string pending;
    while (!g_stop) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0) {
            if (st.st_ino != inode || static_cast<size_t>(st.st_size) < offset) {
                inode = st.st_ino;
                offset = 0;
                lineNo = 0;
                pending.clear();
            }
            if (static_cast<size_t>(st.st_size) > offset) {
                std::ifstream in(path, std::ios::binary);
                in.seekg(static_cast<std::streamoff>(offset));
                std::string chunk(static_cast<size_t>(st.st_size) - offset, '\0');
                in.read(&chunk[0], static_cast<std::streamsize>(chunk.size()));
                chunk.resize(static_cast<size_t>(in.gcount()));
                offset += chunk.size();
                pending += chunk;
                size_t nl;
                while ((nl = pending.find('\n')) != std::string::npos) {
                    const std::string line = pending.substr(0, nl + 1);
                    pending.erase(0, nl + 1);
                    ++lineNo;
                    std::vector<Record> records;
                    ut_tools::DecodeError de;
                    if (!ut_tools::DecodeLines(line, kind, &records, &de)) {
                        Complain(path, lineNo, de.message);
                        continue;
                    }
                    for (const Record &r : records) {
                        if (json)
                            std::printf("%s\n", ut_tools::ToJsonLine(r).c_str());
                        else
                            PrintRow(Row(r), widths);
                    }
                }
                std::fflush(stdout);
            }
        }
        usleep(100 * 1000);
    }
}

}  // namespace

int main(int argc, char **argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--json")
            opt.json = true;
        else if (a == "--follow" || a == "-f")
            opt.follow = true;
        else if (a == "-h" || a == "--help")
            return std::fputs(kUsage, stdout), 0;
        else if (a.size() > 1 && a[0] == '-')
            return std::fprintf(stderr, "ut-dump: unknown option %s\n%s", a.c_str(), kUsage), 2;
        else
            opt.paths.push_back(a);
    }
    if (opt.paths.empty() || (opt.follow && opt.paths.size() != 1)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (opt.follow) {
        struct sigaction sa {};
        sa.sa_handler = OnStop;
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGTERM, &sa, nullptr);
        std::error_code ec;
        if (fs::is_directory(opt.paths[0], ec)) {
            Complain(opt.paths[0], 0, "--follow reads one dot file, not a folder");
            return 1;
        }
        Follow(opt.paths[0], opt.json);
        return g_failed ? 1 : 0;
    }
    std::vector<Record> records;
    for (const std::string &p : opt.paths) {
        std::error_code ec;
        if (fs::is_directory(p, ec))
            DumpFolder(p, &records);
        else if (fs::exists(p, ec))
            DumpFile(p, &records);
        else
            Complain(p, 0, "no such file or folder");
    }
    Print(records, opt.json);
    return g_failed ? 1 : 0;
}
