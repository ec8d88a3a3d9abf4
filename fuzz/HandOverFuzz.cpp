// The command-line hand-over: the arguments of a launch, and the message a second copy sends the
// running one over its local socket.
#include "app/LaunchRequest.h"
#include "fuzz/FuzzSupport.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    if (const std::optional<LaunchRequest> request = LaunchRequest::fromMessage(bytes)) {
        const std::optional<LaunchRequest> again = LaunchRequest::fromMessage(request->toMessage());
        fuzz::require(again && again->urls == request->urls && again->text == request->text &&
                          again->files == request->files,
                      "a message reads back as written");
    }

    // One argument a line; what follows an empty line is standard input.
    const qsizetype split = bytes.indexOf("\n\n");
    QStringList arguments{QStringLiteral("quadrivo")};
    for (const QByteArray& line : bytes.left(split < 0 ? bytes.size() : split).split('\n'))
        arguments << QString::fromUtf8(line);
    const QByteArray input = split < 0 ? QByteArray() : bytes.mid(split + 2);
    const ParsedLaunch parsed = LaunchRequest::fromArguments(
        arguments, [&] { return input; }, QStringLiteral("/home/user"));
    if (parsed.request) {
        const std::optional<LaunchRequest> handed = LaunchRequest::fromMessage(parsed.request->toMessage());
        fuzz::require(handed && handed->files == parsed.request->files, "a launch is handed over whole");
    }
    return 0;
}
