#pragma once
// LinkProbe: what tests (and the round-trip benchmark) read of a link's
// received bytes, which only MeterExchange reads in the program.

#include "meter/InstrumentLink.h"

class LinkProbe
{
public:
    static const QByteArray &replyBuffer(const InstrumentLink &link) { return link.replyBuffer(); }
    static const QByteArray &latestChunk(const InstrumentLink &link) { return link.latestChunk(); }
    static void clearReplyBuffer(InstrumentLink &link) { link.clearReplyBuffer(); }
    static void clearLatestChunk(InstrumentLink &link) { link.clearLatestChunk(); }
    static QByteArray takeFirstLine(InstrumentLink &link) { return link.takeFirstLine(); }
};
