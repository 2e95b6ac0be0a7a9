#pragma once
// The arguments of "cubiform serve": where it listens and the limits every
// request is held to.
#include "engine/CommandOptions.h"

#include <QString>
#include <QStringList>

#include <cstdint>

struct ServeSettings {
    QString Bind = QString::fromLatin1(ServeDefaults::Bind);
    int Port = ServeDefaults::Port;                    // 0: any free port
    std::int64_t MaxBody = ServeDefaults::MaxBody;     // bytes of one request
    std::int64_t MaxPixels = ServeDefaults::MaxPixels; // per cover
    int MaxOutput = ServeDefaults::MaxOutput;          // largest side of the picture
    int TimeoutSeconds = ServeDefaults::TimeoutSeconds; // per request, waiting and drawing
    int ReadTimeoutSeconds = 5;                        // per read or write, and a request's start to end
    int MaxConnections = ServeDefaults::MaxConnections; // served at once
    int Workers = 0;                                   // 0: one per core
    int Queue = 0;                                     // requests waiting; 0: four per worker
    QString TokenFile;                                 // bearer token; needed off loopback
    std::int64_t MaxMemory = 0;                        // for the requests drawn at once; 0: DefaultMaxMemory
    QString AllowOrigin;                               // CORS for this origin; empty: none
    // For tests and probes: stop as on SIGTERM after this many requests or
    // seconds (0: never). Not in the usage.
    int StopAfterRequests = 0;
    int StopAfterSeconds = 0;

    int WorkerCount() const;
    int QueueCapacity() const;
};

// Throws JobError (wrong use) for an unknown option or a bad value.
ServeSettings ParseServeArguments(const QStringList& arguments);

// "20MB", "512KiB", "1048576": bytes. Nothing for anything else.
std::int64_t ParseByteCount(const QString& text, bool* ok);
// "50MP", "16.8MP", "2000000": pixels.
std::int64_t ParsePixelCount(const QString& text, bool* ok);

// Whether the address only reaches this machine (127.0.0.0/8, ::1, localhost).
bool IsLoopbackAddress(const QString& address);
