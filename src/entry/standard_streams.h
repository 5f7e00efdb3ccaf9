// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace selvar::entry {

// Which of standard input, output and error were closed when the program was started.
struct ClosedStandardStreams {
    bool input = false;
    bool output = false;
    bool error = false;
};

// Opens each closed one of descriptors 0 to 2 on /dev/null, so that no file, socket or pipe
// opened later (a trace, the toolkit's own) takes its number and receives replies, messages or
// a script's reads meant for it. First thing in main, before anything opens a descriptor.
ClosedStandardStreams reopenClosedStandardStreams();

}  // namespace selvar::entry
