#include "web/TrustedAuthorities.h"

#include <fstream>
#include <mutex>
#include <sstream>

#include "core/URLSessionConfiguration.h"

namespace web {

namespace {

std::mutex& mutex() {
    static std::mutex shared;
    return shared;
}

std::string& setInCode() {
    static auto* text = new std::string;
    return *text;
}

}  // namespace

void TrustedAuthorities::setPEM(std::string pem) {
    std::lock_guard lock(mutex());
    setInCode() = std::move(pem);
}

std::string TrustedAuthorities::pemSetInCode() {
    std::lock_guard lock(mutex());
    return setInCode();
}

std::string TrustedAuthorities::pem() {
    if (std::string text = pemSetInCode(); !text.empty()) return text;
    const std::string path = core::trustedCertificatesFileFromEnvironment();
    if (path.empty()) return {};
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

}  // namespace web
