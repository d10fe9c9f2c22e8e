#pragma once
// The desktop's mail client for tests: an xdg-email of the test's own, in a
// folder of its own that comes first on PATH while the object lives. Each
// run is counted and its arguments kept, one a line; it may wait for
// release() (or for the folder to go), may read the attachments through as
// a client taking the mail does (copying each to copy-N), and exits with the
// status given.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "core/ScopedEnvironment.h"

namespace storetest {

class FakeMailClient {
public:
    struct Behaviour {
        int status = 0;
        bool reads = false;
        bool held = false;
    };

    explicit FakeMailClient(const std::string& name)
        : folder_(std::filesystem::path(testing::TempDir()) /
                  (name + "-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_ / "bin");
        environment_.set("PATH", (folder_ / "bin").string() + ":/usr/bin:/bin");
    }
    ~FakeMailClient() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    FakeMailClient(const FakeMailClient&) = delete;
    FakeMailClient& operator=(const FakeMailClient&) = delete;

    void install(Behaviour behaviour) const {
        const std::string f = "'" + folder_.string() + "'";
        std::ofstream script(folder_ / "bin/xdg-email");
        script << "#!/bin/sh\necho run >> " << f << "/runs\n"
               << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > " << f << "/arguments.part\n"
               << "mv " << f << "/arguments.part " << f << "/arguments\n";
        if (behaviour.held)
            script << "while [ -d " << f << " ] && [ ! -e " << f
                   << "/release ]; do sleep 0.02; done\n";
        if (behaviour.reads)
            script << "n=0\nwhile [ $# -gt 0 ]; do\n  if [ \"$1\" = --attach ]; then "
                   << "n=$((n+1)); cat \"$2\" > " << f << "/copy-$n; shift; fi\n  shift\ndone\n";
        script << "exit " << behaviour.status << "\n";
        script.close();
        std::filesystem::permissions(folder_ / "bin/xdg-email", std::filesystem::perms::owner_all);
    }
    // No xdg-email anywhere on PATH.
    void uninstall() {
        std::filesystem::remove(folder_ / "bin/xdg-email");
        environment_.set("PATH", (folder_ / "bin").string());
    }
    void release() const { std::ofstream(folder_ / "release") << "go\n"; }

    [[nodiscard]] size_t runs() const { return lines(folder_ / "runs").size(); }
    // The last run's, once it has them all.
    [[nodiscard]] std::vector<std::string> arguments() const {
        return lines(folder_ / "arguments");
    }
    // The n-th attachment as a reading client took it (from 1).
    [[nodiscard]] std::filesystem::path copy(size_t n) const {
        return folder_ / ("copy-" + std::to_string(n));
    }

private:
    static std::vector<std::string> lines(const std::filesystem::path& path) {
        std::ifstream in(path);
        std::vector<std::string> all;
        for (std::string line; std::getline(in, line);) all.push_back(line);
        return all;
    }

    std::filesystem::path folder_;
    testsupport::ScopedEnvironment environment_;
};

}  // namespace storetest
