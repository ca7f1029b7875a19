#include "activity/lan_wake.h"
#include "base/messages.h"

#include <cerrno>
#include <cstring>
#include <linux/ethtool.h>
#include <linux/netlink.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

int (*lan_wake_ioctl)(const char* interface, ethtool_wolinfo& wol) = lan_wake_ioctl_kernel;

namespace {

// The modes in the order and with the letters of ethtool.
constexpr struct {
    uint32_t bit;
    char letter;
} mode_letters[] = {{WAKE_PHY, 'p'},   {WAKE_UCAST, 'u'}, {WAKE_MCAST, 'm'},       {WAKE_BCAST, 'b'},
                    {WAKE_ARP, 'a'},   {WAKE_MAGIC, 'g'}, {WAKE_MAGICSECURE, 's'}, {WAKE_FILTER, 'f'}};

// A name the kernel could hold; others name no interface.
bool interface_name_fits(const char* interface)
{
    const std::size_t length = strnlen(interface, IFNAMSIZ);
    return length > 0 && length < IFNAMSIZ;
}

int wol_get(const char* interface, ethtool_wolinfo& wol)
{
    wol = {};
    wol.cmd = ETHTOOL_GWOL;
    return interface_name_fits(interface) ? lan_wake_ioctl(interface, wol) : ENODEV;
}

}  // namespace

int lan_wake_ioctl_kernel(const char* interface, ethtool_wolinfo& wol)
{
    ifreq request{};
    strncpy(request.ifr_name, interface, sizeof request.ifr_name - 1);
    request.ifr_data = reinterpret_cast<char*>(&wol);
    // Any socket carries the request; a generic netlink one where the
    // sandbox allows no IPv4 socket.
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_GENERIC);
    if (fd < 0)
        return errno;
    const int result = ioctl(fd, SIOCETHTOOL, &request) < 0 ? errno : 0;
    close(fd);
    return result;
}

lan_wake_modes lan_wake_read(const char* interface)
{
    ethtool_wolinfo wol;
    lan_wake_modes modes;
    modes.error = wol_get(interface, wol);
    if (modes.error == 0) {
        modes.supported = wol.supported;
        modes.enabled = wol.wolopts;
    }
    return modes;
}

lan_wake_result lan_wake_arm(const char* interface)
{
    lan_wake_result result;
    ethtool_wolinfo wol;
    result.error = wol_get(interface, wol);
    if (result.error != 0)
        return result;
    result.modes = {0, wol.supported, wol.wolopts};
    if (!(wol.supported & WAKE_MAGIC)) {
        result.fault = lan_wake_no_magic;
        return result;
    }
    // The SecureOn password read is written back as it was.
    const uint32_t wanted = wol.wolopts | WAKE_MAGIC;
    wol.cmd = ETHTOOL_SWOL;
    wol.wolopts = wanted;
    result.error = lan_wake_ioctl(interface, wol);
    if (result.error != 0) {
        result.fault = lan_wake_refused;
        return result;
    }
    result.modes = lan_wake_read(interface);
    result.error = result.modes.error;
    result.fault = result.error == 0 && (result.modes.enabled & wanted) == wanted ? lan_wake_armed : lan_wake_differs;
    return result;
}

std::string lan_wake_letters(uint32_t modes)
{
    std::string letters;
    for (const auto& mode : mode_letters) {
        if (modes & mode.bit)
            letters += mode.letter;
    }
    return letters.empty() ? "d" : letters;
}

bool lan_wake_magic_supported(const lan_wake_modes& modes)
{
    return modes.error == 0 && (modes.supported & WAKE_MAGIC) != 0;
}

std::string lan_wake_support_text(const lan_wake_modes& modes)
{
    if (lan_wake_magic_supported(modes))
        return text_format(tr("マジックパケット対応（有効：%s）"), lan_wake_letters(modes.enabled).c_str());
    switch (modes.error) {
    case 0:
        return text_format(tr("マジックパケット非対応（対応：%s）"), lan_wake_letters(modes.supported).c_str());
    case EOPNOTSUPP:
        return tr("Wake-on-LAN 非対応");
    case ENODEV:
        return tr("インターフェースがありません");
    default:
        return text_format(tr("確認できません（%s）"), strerror(modes.error));
    }
}

void lan_wake_reset()
{
    lan_wake_ioctl = lan_wake_ioctl_kernel;
}
