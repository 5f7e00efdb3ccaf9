#include "remote/script_runner.h"

#include <istream>
#include <ostream>
#include <string>

#include "remote/session.h"

namespace selvar::remote {

ScriptResult runScript(std::istream& in, std::string_view name, control::Instrument& instrument,
                       std::ostream& out, std::ostream& err) {
    Session session(instrument);
    ScriptResult result;
    int lineNumber = 0;
    const LineHandler onLine = [&](const LineResult& line) {
        ++lineNumber;
        if (!line.reply.empty()) {
            out << line.reply << '\n' << std::flush;
        }
        for (const int code : line.errors) {
            err << name << ':' << lineNumber << ": " << errorReply(code) << '\n';
        }
        if (line.refusedAsHttp) {
            err << name << ':' << lineNumber << ": looks like HTTP; the script stops here\n";
        }
        result.status = line.errors.empty() && !line.refusedAsHttp ? result.status : 1;
        if (line.exitRequested) {
            result.exitRequested = true;
            session.close();
        }
    };
    // Each line runs as soon as it is complete, so that a script piped in line by line gets its
    // replies as it goes; the chunk stays bounded however long a line is.
    std::string chunk;
    char c = 0;
    while (!session.closed() && in.get(c)) {
        chunk += c;
        if (c == '\n' || chunk.size() >= Session::kMaxLine) {
            session.receive(chunk, onLine);
            chunk.clear();
        }
    }
    session.receive(chunk, onLine);
    session.finish(onLine);
    return result;
}

}  // namespace selvar::remote
