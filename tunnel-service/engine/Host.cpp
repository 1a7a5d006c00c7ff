#include "Host.h"

#include "platform/netext/InterfaceName.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <fstream>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace veloxa::engine {

std::string Host::path(std::string_view absolute) const {
    if (root.empty() || root == "/")
        return std::string(absolute);
    std::string out = root;
    if (out.back() == '/')
        out.pop_back();
    return out + std::string(absolute);
}

bool Host::exists(std::string_view absolute) const {
    return ::access(path(absolute).c_str(), F_OK) == 0;
}

std::optional<std::string> Host::readLine(std::string_view absolute) const {
    std::ifstream in(path(absolute));
    std::string line;
    if (!in || !std::getline(in, line))
        return std::nullopt;
    return line;
}

bool Host::write(std::string_view absolute, const std::string& text) const {
    std::ofstream out(path(absolute));
    out << text;
    out.flush();
    return static_cast<bool>(out);
}

bool Host::linkExists(const std::string& name) const {
    return isValidInterfaceName(name) && exists("/sys/class/net/" + name);
}

int Host::ifindex(const std::string& name) const {
    if (!isValidInterfaceName(name))
        return -1;
    const auto text = readLine("/sys/class/net/" + name + "/ifindex");
    int index = -1;
    if (!text ||
        std::from_chars(text->data(), text->data() + text->size(), index).ec != std::errc())
        return -1;
    return index;
}

std::vector<int> Host::ifindexes() const {
    std::vector<int> out;
    DIR* dir = ::opendir(path("/sys/class/net").c_str());
    if (!dir)
        return out;
    while (const dirent* entry = ::readdir(dir))
        if (const int index = ifindex(entry->d_name); index > 0)
            out.push_back(index);
    ::closedir(dir);
    return out;
}

std::expected<std::vector<std::string>, std::string> systemResolve(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (const int error = ::getaddrinfo(host.c_str(), nullptr, &hints, &found); error != 0)
        return std::unexpected(std::string(::gai_strerror(error)));
    std::vector<std::string> out;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void* raw = a->ai_family == AF_INET6
                              ? static_cast<const void*>(
                                    &reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr)
                              : static_cast<const void*>(
                                    &reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr);
        if ((a->ai_family == AF_INET || a->ai_family == AF_INET6) &&
            ::inet_ntop(a->ai_family, raw, text, sizeof text))
            out.emplace_back(text);
    }
    ::freeaddrinfo(found);
    return out;
}

std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    return line.size() > 200 ? line.substr(0, 200) : line;
}

} // namespace veloxa::engine
