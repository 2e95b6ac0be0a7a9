// The service's request reading on arbitrary bytes, two ways (by the first
// byte): the form reader alone on parts cut from the input, or the input as
// one raw HTTP request to a service in this process, through its header,
// multipart and option parsing. Either ends in an answer, never a crash;
// the drawing is replaced, so no GL is needed.
//
// Seeds: ServeRequest_fuzz --write-seeds=DIR writes a few requests made by
// the program's own writers and exits.
#include "FuzzSupport.h"
#include "engine/ImageOutput.h"
#include "serve/RenderForm.h"
#include "serve/RenderService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// A service on a free loopback port for the whole run; it stops by itself
// after an hour at the latest.
struct Service {
    std::unique_ptr<RenderService> Http;
    std::thread Thread;
    int Port = 0;
    Service()
    {
        ServeSettings s;
        s.Port = 0;
        s.Workers = 1;
        s.Queue = 4;
        s.TimeoutSeconds = 5;
        s.MaxBody = 1 << 20;
        s.StopAfterSeconds = 3600;
        Http = std::make_unique<RenderService>(s, QByteArray(), [](RenderSession&, const RenderJob&) {
            return RenderAnswer{200, QByteArrayLiteral("picture"), 0.0};
        });
        Port = Http->Bind();
        Thread = std::thread([this] { Http->Run(); });
    }
    ~Service()
    {
        Http->Stop();
        Thread.join();
    }
};

void SendRaw(int port, std::string_view request)
{
    static Service service;
    (void)port;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return;
    timeval wait{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(service.Port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        std::size_t sent = 0;
        while (sent < request.size()) {
            const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        shutdown(fd, SHUT_WR);
        char buffer[4096];
        while (recv(fd, buffer, sizeof buffer, 0) > 0) {
        }
    }
    close(fd);
}

// Parts cut at each "\n--\n": name, file name, type and content on the
// part's first three lines and the rest.
void ReadForm(std::string_view input)
{
    std::vector<std::string_view> pieces;
    for (std::size_t at = 0; at <= input.size();) {
        const std::size_t end = std::min(input.find("\n--\n", at), input.size());
        pieces.push_back(input.substr(at, end - at));
        at = end + 4;
    }
    std::vector<FormPart> parts;
    for (std::string_view piece : pieces) {
        FormPart part;
        std::string_view* fields[] = {&part.Name, &part.FileName, &part.ContentType};
        for (std::string_view* field : fields) {
            const std::size_t line = std::min(piece.find('\n'), piece.size());
            *field = piece.substr(0, line);
            piece.remove_prefix(std::min(line + 1, piece.size()));
        }
        part.Content = piece;
        parts.push_back(part);
    }
    try {
        ReadRenderForm("multipart/form-data; boundary=x", {}, parts, {1'000'000, 2048});
    } catch (const ServeError&) {
    }
    try {
        ReadRenderForm("application/json", input, {}, {1'000'000, 2048});
    } catch (const ServeError&) {
    }
}

std::string Multipart(const std::vector<std::array<std::string, 3>>& parts)
{
    std::string body;
    for (const auto& [name, file, content] : parts) {
        body += "--b0undary\r\nContent-Disposition: form-data; name=\"" + name + "\"";
        if (!file.empty())
            body += "; filename=\"" + file + "\"\r\nContent-Type: application/octet-stream";
        body += "\r\n\r\n" + content + "\r\n";
    }
    body += "--b0undary--\r\n";
    return "\x01POST /render HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: multipart/form-data; "
           "boundary=b0undary\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

void WriteSeeds(const QString& folder)
{
    QDir().mkpath(folder);
    QImage cover(24, 16, QImage::Format_RGBA8888);
    cover.fill(Qt::darkCyan);
    const std::string png = EncodePicture(cover, OutputFormat::Png, 70, false, {}, 1, QStringLiteral("seed")).toStdString();
    const std::string jpg = EncodePicture(cover, OutputFormat::Jpeg, 70, false, {}, 1, QStringLiteral("seed")).toStdString();
    const std::string json = R"({"width":70,"shadow":true,"format":"jpg","quality":90,"size":"300x200"})";
    const std::vector<std::string> seeds = {
        Multipart({{"front", "f.png", png}, {"width", "", "60"}, {"format", "", "bmp"}}),
        Multipart({{"side", "s.jpg", jpg}, {"options", "", json}}),
        std::string("\x01POST /render HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: ") +
            std::to_string(json.size()) + "\r\n\r\n" + json,
        std::string("\x00", 1) + "front\nf.png\nimage/png\n" + png + "\n--\nwidth\n\n\n70\n--\nshadow\n\n\n",
        std::string("\x00", 1) + json,
    };
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        QFile file(QStringLiteral("%1/seed-%2").arg(folder).arg(i));
        if (file.open(QIODevice::WriteOnly))
            file.write(seeds[i].data(), static_cast<qint64>(seeds[i].size()));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static int qtArgc = 1;
    static char name[] = "ServeRequest_fuzz";
    static char* qtArgv[] = {name, nullptr};
    static QCoreApplication app(qtArgc, qtArgv);
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], "--write-seeds=", 14) == 0) {
            WriteSeeds(QString::fromLocal8Bit((*argv)[i] + 14));
            std::exit(0);
        }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1)
        SendRaw(0, input);
    else
        ReadForm(input);
    return 0;
}
