// Address normalization: whatever a database cell holds, what comes out is
// made of ASCII digits and full stops only, in the order they stood in, so
// nothing else can reach the ping command line.

#include "MonitorProbe.h"
#include "UnitUtils.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Check(const QString& input) {
    const QString ip = PesagramIPToIP(input);
    qsizetype from = 0;
    for (const QChar c : ip) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || u == u'.'))
            std::abort();
        // Every character kept is one of the input's, in the input's order.
        from = input.indexOf(c, from);
        if (from < 0)
            std::abort();
        ++from;
    }
    // Nothing of the kind is dropped either.
    qsizetype kept = 0;
    for (const QChar c : input)
        if ((c >= u'0' && c <= u'9') || c == u'.')
            ++kept;
    if (kept != ip.size())
        std::abort();
    // The command line the probe builds holds nothing the shell would read
    // as more than one plain word after the fixed front.
    const std::string line = (PingCommandFront() + ip).toStdString();
    if (line.find_first_of(";&|`$()<>\"'\\\n\r\t*?[]{}~#!") != std::string::npos)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* text = reinterpret_cast<const char*>(data);
    Check(QString::fromUtf8(text, static_cast<qsizetype>(size)));
    Check(QString::fromLatin1(text, static_cast<qsizetype>(size)));
    // The same bytes read as UTF-16, as a wide database driver hands them over.
    std::u16string wide(size / 2, u'\0');
    std::memcpy(wide.data(), data, wide.size() * 2);
    Check(QString::fromStdU16String(wide));
    return 0;
}
