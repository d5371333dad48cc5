// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzsupport.h"

#include "app/featureoptions.h"

#include <QByteArrayList>

// Input: the contents of an options file. The options read must be those of
// the file's rules, worked out here independently: "\n", "\r\n" end a line,
// a line that begins with "//" is a comment, any other line switches on every
// keyword it begins with.
namespace {

bool switchedOn(const QByteArray &contents, const char *keyword)
{
    for (QByteArray line : contents.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.startsWith("//") && line.startsWith(keyword))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray contents(reinterpret_cast<const char *>(data), int(size));
    const FeatureOptions options = FeatureOptions::parse(contents);
    fuzz::check(options.advanced == switchedOn(contents, "ADVANCED"), "ADVANCED read wrongly");
    fuzz::check(options.forwarding == switchedOn(contents, "FORWARDING"), "FORWARDING read wrongly");
    fuzz::check(options.audioCommands == switchedOn(contents, "AUDIO_COMMANDS"), "AUDIO_COMMANDS read wrongly");
    fuzz::check(options.speciCommands == switchedOn(contents, "SPECI_COMMANDS"), "SPECI_COMMANDS read wrongly");
    fuzz::check(options.fastModes == switchedOn(contents, "FAST_MODES"), "FAST_MODES read wrongly");
    fuzz::check(options.statusLines().size() == 5, "not five status lines");
    return 0;
}
