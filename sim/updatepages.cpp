// The self-update: the file a new version is downloaded from.
#include "sim/pages.h"

namespace sim {

QByteArray updateFileContent()
{
    // A runnable script, padded so that the download arrives in several
    // pieces; the same bytes every time, so tests compare them.
    QByteArray out = toGbk(QStringLiteral("#!/bin/sh\n"
                                          "# 榴帆综合缴费系统 — simulator build\n"
                                          "echo \"agent-client (simulator build)\"\n"
                                          "exit 0\n"));
    for (int i = 0; out.size() < 48 * 1024; ++i)
        out += "# padding line " + QByteArray::number(i).rightJustified(5, '0') + " " +
               QByteArray(48, char('a' + i % 26)) + "\n";
    return out;
}

namespace {

// GET /download/agent-client: the announced executable, with its length.
Page download(const Request &, State &)
{
    Page p;
    p.bytes = updateFileContent();
    p.contentType = "application/octet-stream";
    return p;
}

} // namespace

void addUpdatePages(PlatformSim &sim)
{
    sim.addPage(QStringLiteral("/download/agent-client"), download);
}

} // namespace sim
