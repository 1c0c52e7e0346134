// Copies of one large file to a share (smbd) and an SFTP folder (sshd) on 127.0.0.1, timed side by
// side with the tools an administrator would compare them with: `smbclient put` and `sftp put`
// of the same file to the same servers, in alternating rounds, the median of each reported.
// Usage: bench_transfer [--size-mib N] [--rounds N]
#include "platform/host/delivery/FileTransfer.h"
#include "tests/host/delivery/SftpTestServer.h"
#include "tests/host/delivery/SmbTestServer.h"
#include "tests/host/delivery/SmtpTestServer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace morvid::test;
using TClock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double TimedMs(const std::function<bool()>& run) {
    const auto start = TClock::now();
    if (!run()) {
        std::fprintf(stderr, "bench_transfer: a copy failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

bool Tool(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    int sizeMib = 100;
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--size-mib" || arg == "--rounds") && i + 1 < argc) {
            (arg == "--size-mib" ? sizeMib : rounds) = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--size-mib N] [--rounds N]\n", argv[0]);
            return arg == "--help" ? 0 : 1;
        }
    }
    if (::geteuid() != 0) {
        std::fprintf(stderr, "bench_transfer: smbd serves a user only when started by root\n");
        return 1;
    }
    char pattern[] = "/tmp/morvid-transfer-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const std::string dir = pattern;
    const std::string source = dir + "/export.bin";
    {
        std::mt19937_64 random(7);
        std::vector<std::uint64_t> block(1024 * 1024 / 8);
        std::ofstream out(source, std::ios::binary);
        for (int mib = 0; mib < sizeMib; ++mib) {
            std::generate(block.begin(), block.end(), random);
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(block.size() * 8));
        }
    }
    {
        const TSftpTestServer sftp(FreeLoopbackPort(), dir + "/sftp");
        const TSmbTestServer smb(FreeLoopbackPort(), dir + "/smb");
        std::ofstream(dir + "/smb-auth")
            << "username = " << smb.User() << "\npassword = " << TSmbTestServer::Password() << "\n";
        const host::TTransferLogin sftpLogin{.User = sftp.User(),
                                             .KeyFile = sftp.KeyFile(),
                                             .KnownHostsFile = sftp.KnownHostsFile()};
        const host::TTransferLogin smbLogin{.User = smb.User(),
                                            .Password = TSmbTestServer::Password()};
        const auto sftpTool = [&](const std::string& name) {
            std::ofstream(dir + "/sftp-batch")
                << "put " << source << " " << sftp.Folder() << "/" << name << "\n";
            return Tool("sftp -q -b " + dir + "/sftp-batch -i " + sftp.KeyFile() +
                        " -o UserKnownHostsFile=" + sftp.KnownHostsFile() +
                        " -o StrictHostKeyChecking=yes -o BatchMode=yes -P " +
                        std::to_string(sftp.Port()) + " " + sftp.User() + "@127.0.0.1 >/dev/null");
        };
        const auto smbTool = [&](const std::string& name) {
            return Tool("smbclient -q //127.0.0.1/reports -p " + std::to_string(smb.Port()) +
                        " -A " + dir + "/smb-auth -m SMB3 -c 'put " + source + " daily/" + name +
                        "' >/dev/null 2>&1");
        };
        const auto sent = [](const host::TTransferResult& result) {
            if (result.Status != host::TSendStatus::Sent) {
                std::fprintf(stderr, "bench_transfer: %s\n", result.Reason.c_str());
            }
            return result.Status == host::TSendStatus::Sent;
        };
        const auto ours = [&](bool share, const std::string& name) {
            const std::vector<host::TTransferFile> files{{source, name, ""}};
            return sent(
                share ? host::CopyToShare(smb.Url(), smbLogin, files, host::TNameClash::Replace, {})
                      : host::CopyOverSftp(sftp.Url(), sftpLogin, files, host::TNameClash::Replace,
                                           {}));
        };

        // A new file each time on both sides (a server writes a new file more slowly than it
        // overwrites one in place), and then the same name replaced each time.
        std::map<std::string, std::vector<double>> ms;
        for (const bool replace : {false, true}) {
            for (int round = 0; round < rounds; ++round) {
                const std::string suffix = replace ? ".bin" : "-" + std::to_string(round) + ".bin";
                const std::string kind = replace ? " replacing" : " new";
                ms["smb tool" + kind].push_back(TimedMs([&] { return smbTool("tool" + suffix); }));
                ms["smb ours" + kind].push_back(
                    TimedMs([&] { return ours(true, "ours" + suffix); }));
                ms["sftp tool" + kind].push_back(
                    TimedMs([&] { return sftpTool("tool" + suffix); }));
                ms["sftp ours" + kind].push_back(
                    TimedMs([&] { return ours(false, "ours" + suffix); }));
                if (!replace) {
                    for (const std::string& folder : {smb.Folder(), sftp.Folder()}) {
                        std::filesystem::remove(folder + "/tool" + suffix);
                        std::filesystem::remove(folder + "/ours" + suffix);
                    }
                }
            }
        }
        std::printf("%d MiB, median of %d rounds\n", sizeMib, rounds);
        std::printf("| target | file | tool | ours | ours / tool |\n|---|---|---|---|---|\n");
        for (const char* protocol : {"smb", "sftp"}) {
            for (const char* kind : {" new", " replacing"}) {
                const double tool = Median(ms[std::string(protocol) + " tool" + kind]);
                const double our = Median(ms[std::string(protocol) + " ours" + kind]);
                std::printf("| %s | %s | %.0f ms | %.0f ms | %.2f |\n",
                            protocol[1] == 'm' ? "share (smbclient put)" : "SFTP (sftp put)",
                            kind + 1, tool, our, our / tool);
            }
        }
    } // the servers end before their folders go
    std::filesystem::remove_all(dir);
    return 0;
}
