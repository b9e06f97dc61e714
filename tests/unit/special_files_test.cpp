// Files that are not what a reader wants: a folder, a named pipe, a device,
// a socket, a file far too large, one that is missing or may not be read.
// Each is refused at once (never waited on) by read_whole_file and by every
// reader built on it, and leaves the machine exactly as it was.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/files.h"
#include "z80_harness.h"

namespace {

using bytes = std::vector<uint8_t>;

// A fresh folder, its path and a way back to the old working directory.
struct scratch {
    std::string dir, old_cwd;
    scratch() {
        char pattern[] = "/tmp/brenvik-special-XXXXXX";
        if (mkdtemp(pattern)) dir = pattern;
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd)) old_cwd = cwd;
    }
    ~scratch() {
        if (!old_cwd.empty() && chdir(old_cwd.c_str()) != 0) std::perror("chdir");
        if (!dir.empty() && std::system(("chmod -R u+rwx '" + dir + "'; rm -rf '" + dir + "'").c_str()) != 0)
            std::perror("rm");
    }
};

void write_bytes(const std::string &path, std::size_t size) {
    FILE *fp = std::fopen(path.c_str(), "wb");
    ASSERT_NE(fp, nullptr) << path;
    bytes b(size, 0x5A);
    if (size) {
        ASSERT_EQ(std::fwrite(b.data(), 1, size, fp), size);
    }
    std::fclose(fp);
}

// Makes the hostile thing at path; returns false when it cannot be made here.
using maker = bool (*)(const std::string &path);

bool make_nothing(const std::string &) { return true; }
bool make_folder(const std::string &path) { return mkdir(path.c_str(), 0755) == 0; }
bool make_fifo(const std::string &path) { return mkfifo(path.c_str(), 0644) == 0; }
bool make_device(const std::string &path) { return symlink("/dev/zero", path.c_str()) == 0; }
bool make_socket(const std::string &path) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un at{};
    at.sun_family = AF_UNIX;
    if (fd < 0 || path.size() >= sizeof at.sun_path) return false;
    std::strcpy(at.sun_path, path.c_str());
    bool made = bind(fd, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0;
    close(fd);  // the socket file stays
    return made;
}
bool make_huge(const std::string &path) {
    // Sparse: 64 MB that take no room.
    FILE *fp = std::fopen(path.c_str(), "wb");
    if (!fp) return false;
    bool made = ftruncate(fileno(fp), 64 << 20) == 0;
    std::fclose(fp);
    return made;
}
bool make_unreadable(const std::string &path) {
    if (geteuid() == 0) return false;  // root reads anything
    write_bytes(path, 100);
    return chmod(path.c_str(), 0) == 0;
}
bool make_dangling(const std::string &path) { return symlink("/nonexistent/brenvik.sna", path.c_str()) == 0; }

struct hostile {
    const char *what;
    maker make;
    read_failure failure;
    const char *reason;       // part of read_whole_file's reason
    const char *rom_says;     // part of the ROM reader's message
    const char *caption;      // the snapshot message box's caption
    const char *text_says;    // part of its text, below the path
};

const hostile cases[] = {
    {"missing", make_nothing, read_failure::cannot_open, "No such file", "cannot open", "Not Found",
     "cannot be opened: No such file or directory."},
    {"folder", make_folder, read_failure::not_regular, "folder", "cannot read the ROM image", "Cannot Read Snapshot",
     "It is a folder, not a file."},
    {"FIFO", make_fifo, read_failure::not_regular, "named pipe", "it is a named pipe (FIFO), not a file",
     "Cannot Read Snapshot", "It is a named pipe (FIFO), not a file."},
    {"/dev/zero", make_device, read_failure::not_regular, "device", "it is a device, not a file",
     "Cannot Read Snapshot", "It is a device, not a file."},
    {"socket", make_socket, read_failure::not_regular, "socket", "it is a socket, not a file", "Cannot Read Snapshot",
     "It is a socket, not a file."},
    {"too large", make_huge, read_failure::too_large, "larger than", "longer than 16384 bytes", "Unsupported Snapshot",
     "larger than 1 MB"},
    {"no permission", make_unreadable, read_failure::cannot_open, "Permission denied", "Permission denied",
     "Not Found", "cannot be opened: Permission denied."},
    {"dangling link", make_dangling, read_failure::cannot_open, "No such file", "No such file", "Not Found",
     "cannot be opened: No such file or directory."},
};

// Everything a reader could change: registers, memory, ROM.
struct machine {
    uint16_t w[13];
    int32_t n[5];
    bytes ram, rom;
    bool operator==(const machine &o) const {
        return std::memcmp(w, o.w, sizeof w) == 0 && std::memcmp(n, o.n, sizeof n) == 0 && ram == o.ram &&
               rom == o.rom;
    }
};

machine now() {
    return {{af.w, bc.w, de.w, hl.w, ix.w, iy.w, saf.w, sbc.w, sde.w, shl.w, ir.w, sp, pc},
            {iff1, iff2, im, intreq, cycles},
            bytes(ram, ram + ram_size),
            bytes(lorom, lorom + rom_size)};
}

// A machine holding something recognisable, as it stands.
machine scrambled() {
    z80_fresh();
    for (int a = 0; a < ram_size; ++a) ram[a] = uint8_t(a * 31 + 7);
    for (int a = 0; a < rom_size; ++a) lorom[a] = uint8_t(a * 17 + 3);
    af.w = 0x0101, bc.w = 0x0202, hl.w = 0x0404, sp = 0x0C0C, pc = 0x0D0D, im = 2, iff1 = 1;
    return now();
}

bool contains(const std::string &s, const char *part) { return s.find(part) != std::string::npos; }

TEST(SpecialFiles, EveryReaderRefusesThemAtOnceAndChangesNothing) {
    // A reader that waited on a FIFO would never return: end the test instead.
    alarm(60);
    scratch s;
    ASSERT_FALSE(s.dir.empty());
    int tried = 0;
    for (const hostile &c : cases) {
        for (const char *name : {"x.rom", "x.sna", "x.z80"}) {
            std::string path = s.dir + "/" + std::to_string(&c - cases) + name;
            if (!c.make(path)) {
                std::printf("skipped: %s (cannot be made here%s)\n", c.what, geteuid() == 0 ? ", running as root" : "");
                break;
            }
            SCOPED_TRACE(std::string(c.what) + " " + name);
            ++tried;

            bytes data = {1, 2, 3};
            file_read r = read_whole_file(path, 1 << 20, data);
            EXPECT_EQ(r.failure, c.failure);
            EXPECT_TRUE(contains(r.reason, c.reason)) << r.reason;
            EXPECT_EQ(data, (bytes{1, 2, 3})) << "data changed on failure";

            machine before = scrambled();
            std::string text, caption;
            if (name[2] == 'r') {
                std::string error;
                EXPECT_FALSE(loadrom_file(path, error));
                EXPECT_TRUE(contains(error, c.rom_says)) << error;
                EXPECT_TRUE(contains(error, path.c_str())) << error;
            } else {
                snapshot_result res = name[2] == 'z' ? openz80(path.c_str()) : opensna(path.c_str());
                EXPECT_FALSE(res.ok);
                EXPECT_EQ(res.caption, c.caption);
                EXPECT_EQ(res.text.rfind(path + "\n\n", 0), 0u) << res.text;
                EXPECT_TRUE(contains(res.text, c.text_says)) << res.text;
            }
            EXPECT_TRUE(now() == before) << "the machine changed";
        }
    }
    alarm(0);
    EXPECT_GE(tried, 7 * 3);
}

// ---- 48.rom in the working directory ----

struct rom_case {
    const char *what;
    maker make;
    const char *says;  // part of what is said on standard error
};

bool make_dangling_rom(const std::string &path) { return symlink("gone.rom", path.c_str()) == 0; }

const rom_case rom_cases[] = {
    {"dangling link", make_dangling_rom, "is a symbolic link to \"gone.rom\", which does not exist"},
    {"folder", make_folder, "cannot read the ROM image \"48.rom\": it is a folder, not a file"},
    {"FIFO", make_fifo, "cannot read the ROM image \"48.rom\": it is a named pipe (FIFO), not a file"},
    {"device", make_device, "it is a device, not a file"},
};

TEST(SpecialFiles, A48RomThatIsNoFileIsReportedNotReplaced) {
    alarm(60);
    for (const rom_case &c : rom_cases) {
        SCOPED_TRACE(c.what);
        scratch s;
        ASSERT_EQ(chdir(s.dir.c_str()), 0);
        ASSERT_TRUE(c.make(rom_name));
        machine before = scrambled();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(loadroms()) << "the default ROM was used instead";
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(contains(said, c.says)) << said;
        EXPECT_TRUE(contains(said, s.dir.c_str())) << said;
        EXPECT_TRUE(now() == before) << "the machine changed";
    }
    alarm(0);
}

}  // namespace
