#include "accountd/InterfaceWatch.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/if_addr.h>
#include <linux/if_arp.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace flowtally {

namespace {

// Interfaces that went, remembered under their last names; addresses held.
constexpr std::size_t kGoneInterfaces = 256;
constexpr std::size_t kAddresses = 4096;
// The longest a dump may take to arrive.
constexpr int kDumpWaitMs = 2000;

std::uint32_t linkHeaderOf(unsigned short type) {
    return type == ARPHRD_ETHER || type == ARPHRD_LOOPBACK ? 14 : 0;
}

// The prefix of an address: the bits past its length cleared.
LocalPrefix prefixOf(int family, const void *address, std::uint8_t length) {
    LocalPrefix prefix;
    prefix.family = family;
    const std::size_t size = family == AF_INET ? 4 : 16;
    prefix.length = std::min<std::uint8_t>(length, static_cast<std::uint8_t>(size * 8));
    std::memcpy(prefix.address.data(), address, size);
    for (std::size_t bit = prefix.length; bit < size * 8; ++bit)
        prefix.address[bit / 8] &= static_cast<std::uint8_t>(~(0x80u >> (bit % 8)));
    return prefix;
}

} // namespace

std::string LocalPrefix::text() const {
    char written[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(family, address.data(), written, sizeof written);
    return std::string(written) + '/' + std::to_string(length);
}

InterfaceWatch::InterfaceWatch(PrefixChange change) : change_(std::move(change)) {}

InterfaceWatch::~InterfaceWatch() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::string InterfaceWatch::open() {
    fd_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd_ < 0)
        return std::string("no netlink socket: ") + std::strerror(errno);
    const int buffer = 1 << 20;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (::bind(fd_, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
        return std::string("cannot join the kernel's address messages: ") + std::strerror(errno);
    readAll();
    if (interfaces_.empty())
        return "the kernel told of no interface";
    return std::string();
}

const InterfaceWatch::Interface *InterfaceWatch::interface(std::uint32_t index) const {
    const auto found = interfaces_.find(index);
    return found == interfaces_.end() ? nullptr : &found->second;
}

void InterfaceWatch::readAll() {
    // A dump that the kernel marks as interrupted (the tables changed
    // meanwhile) is read again, a few times at most.
    for (int attempt = 0; attempt < 4; ++attempt) {
        addresses_.clear();
        prefixUse_.clear();
        if (dump(RTM_GETLINK) && dump(RTM_GETADDR))
            break;
    }
    publish();
}

bool InterfaceWatch::dump(int type) {
    // Of every family (AF_UNSPEC, 0): the body is all zeros.
    struct {
        nlmsghdr header;
        union {
            ifinfomsg link;
            ifaddrmsg address;
        } body;
    } request{};
    request.header.nlmsg_len =
        NLMSG_LENGTH(type == RTM_GETLINK ? sizeof(ifinfomsg) : sizeof(ifaddrmsg));
    request.header.nlmsg_type = static_cast<unsigned short>(type);
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = ++sequence_;
    if (::send(fd_, &request, request.header.nlmsg_len, 0) < 0)
        return false;

    std::vector<char> buffer(1 << 16);
    bool consistent = true;
    for (;;) {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, kDumpWaitMs) <= 0)
            return false;
        const ssize_t got = ::recv(fd_, buffer.data(), buffer.size(), 0);
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            return false; // ENOBUFS among them: the caller reads anew
        }
        auto size = static_cast<std::size_t>(got);
        for (auto *message = reinterpret_cast<const nlmsghdr *>(buffer.data());
             NLMSG_OK(message, size); message = NLMSG_NEXT(message, size)) {
            if (message->nlmsg_seq == sequence_) {
                if (message->nlmsg_flags & NLM_F_DUMP_INTR)
                    consistent = false;
                if (message->nlmsg_type == NLMSG_DONE)
                    return consistent;
                if (message->nlmsg_type == NLMSG_ERROR)
                    return false;
            }
            handle(message, message->nlmsg_len);
        }
    }
}

void InterfaceWatch::receive() {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (errno == ENOBUFS)
                readAll();
            break;
        }
        auto size = static_cast<std::size_t>(got);
        for (auto *message = reinterpret_cast<const nlmsghdr *>(buffer.data());
             NLMSG_OK(message, size); message = NLMSG_NEXT(message, size))
            handle(message, message->nlmsg_len);
    }
    publish();
}

void InterfaceWatch::handle(const void *data, std::size_t size) {
    const auto *message = static_cast<const nlmsghdr *>(data);
    const unsigned short type = message->nlmsg_type;
    if (type == RTM_NEWLINK || type == RTM_DELLINK) {
        if (size < NLMSG_LENGTH(sizeof(ifinfomsg)))
            return;
        const auto *link = static_cast<const ifinfomsg *>(NLMSG_DATA(message));
        const auto index = static_cast<std::uint32_t>(link->ifi_index);
        if (type == RTM_DELLINK) {
            forget(index);
            return;
        }
        std::string name;
        auto length = static_cast<unsigned int>(IFLA_PAYLOAD(message));
        for (auto *attribute = IFLA_RTA(link); RTA_OK(attribute, length);
             attribute = RTA_NEXT(attribute, length))
            if (attribute->rta_type == IFLA_IFNAME)
                name.assign(static_cast<const char *>(RTA_DATA(attribute)),
                            ::strnlen(static_cast<const char *>(RTA_DATA(attribute)),
                                      RTA_PAYLOAD(attribute)));
        interfaces_[index] = Interface{name, linkHeaderOf(link->ifi_type)};
        std::erase(gone_, index);
        return;
    }
    if (type != RTM_NEWADDR && type != RTM_DELADDR)
        return;
    if (size < NLMSG_LENGTH(sizeof(ifaddrmsg)))
        return;
    const auto *entry = static_cast<const ifaddrmsg *>(NLMSG_DATA(message));
    if ((entry->ifa_family != AF_INET && entry->ifa_family != AF_INET6) ||
        entry->ifa_prefixlen == 0)
        return;
    const std::size_t addressSize = entry->ifa_family == AF_INET ? 4 : 16;
    const void *local = nullptr, *address = nullptr;
    auto length = static_cast<unsigned int>(IFA_PAYLOAD(message));
    for (auto *attribute = IFA_RTA(entry); RTA_OK(attribute, length);
         attribute = RTA_NEXT(attribute, length)) {
        if (RTA_PAYLOAD(attribute) < addressSize)
            continue;
        if (attribute->rta_type == IFA_LOCAL)
            local = RTA_DATA(attribute);
        else if (attribute->rta_type == IFA_ADDRESS)
            address = RTA_DATA(attribute);
    }
    if (!local)
        local = address;
    if (!local)
        return;
    const LocalPrefix prefix = prefixOf(entry->ifa_family, local, entry->ifa_prefixlen);
    // The address itself names the entry; its prefix is what counts.
    LocalPrefix whole = prefixOf(entry->ifa_family, local, 128);
    whole.length = entry->ifa_prefixlen;
    const Address key{entry->ifa_index, whole};
    if (type == RTM_NEWADDR) {
        if (addresses_.size() < kAddresses && addresses_.insert(key).second)
            ++prefixUse_[prefix];
    } else if (addresses_.erase(key) && --prefixUse_[prefix] == 0) {
        prefixUse_.erase(prefix);
    }
}

void InterfaceWatch::forget(std::uint32_t index) {
    for (auto address = addresses_.begin(); address != addresses_.end();) {
        if (std::get<0>(*address) != index) {
            ++address;
            continue;
        }
        const LocalPrefix &whole = std::get<1>(*address);
        const LocalPrefix prefix = prefixOf(whole.family, whole.address.data(), whole.length);
        if (--prefixUse_[prefix] == 0)
            prefixUse_.erase(prefix);
        address = addresses_.erase(address);
    }
    if (!interfaces_.contains(index) || std::find(gone_.begin(), gone_.end(), index) != gone_.end())
        return;
    gone_.push_back(index);
    if (gone_.size() > kGoneInterfaces) {
        interfaces_.erase(gone_.front());
        gone_.pop_front();
    }
}

void InterfaceWatch::publish() {
    for (auto prefix = published_.begin(); prefix != published_.end();) {
        if (!prefixUse_.contains(*prefix) && change_(*prefix, false))
            prefix = published_.erase(prefix);
        else
            ++prefix;
    }
    for (const auto &[prefix, uses] : prefixUse_)
        if (!published_.contains(prefix) && change_(prefix, true))
            published_.insert(prefix);
}

} // namespace flowtally
