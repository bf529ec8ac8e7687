#pragma once

#include <QString>

#include <memory>

namespace bench {

// A TCP proxy that plays a network of a given round trip between a workstation and the database
// server: it listens on 127.0.0.1, forwards every connection to the server, and holds each chunk
// for half the round trip in each direction (in order, so a stream is never reordered). It runs
// in a thread of its own, so a client blocked in a database call on the thread that owns the
// proxy still gets its answers.
//
// It also counts round trips: a chunk from the client after the server last spoke, followed by a
// chunk from the server, is one. That is what the wire protocol pays a full delay for, whatever
// the size of the chunks.
class LatencyProxy {
public:
    LatencyProxy();
    ~LatencyProxy();
    LatencyProxy(const LatencyProxy&) = delete;
    LatencyProxy& operator=(const LatencyProxy&) = delete;

    // Listens on a free port of 127.0.0.1, forwarding to host:port. False with the reason.
    bool start(const QString& host, quint16 port, QString* error);
    void stop();

    // The port listened on and the address a Firebird location is written with ("127.0.0.1/PORT").
    quint16 port() const;
    QString address() const;

    // The round trip played, in milliseconds (half of it each way); may change while running and
    // applies to the chunks read afterwards.
    void setRoundTrip(int milliseconds);
    int roundTrip() const;

    // The link cut (true): every open connection is broken off at once, as when the network between
    // a branch office and the server goes away, and new ones are refused until it is back (false).
    void setLinkDown(bool down);

    // Round trips and connections since the last reset, over every connection.
    qint64 roundTrips() const;
    qint64 connections() const;
    void resetCounts();

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace bench
