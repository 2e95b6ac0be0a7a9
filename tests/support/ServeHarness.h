#pragma once
// A render service in the test's own process, on a free loopback port: it
// stops when the test ends and, at the latest, after a minute by itself.
// Requests go through a client with its own time limits.
#include "engine/ImageOutput.h"
#include "serve/RenderService.h"

#include <QImage>

#include <httplib.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

class ServeHarness {
public:
    explicit ServeHarness(ServeSettings settings, QByteArray token = {}, RenderWorkers::Work work = {},
                          std::function<void(RenderSession&)> warmUp = {})
    {
        settings.Bind = QStringLiteral("127.0.0.1");
        settings.Port = 0;
        if (settings.StopAfterSeconds == 0)
            settings.StopAfterSeconds = 60;
        service_ = std::make_unique<RenderService>(settings, std::move(token), std::move(work), std::move(warmUp));
        port_ = service_->Bind();
        thread_ = std::thread([this] { service_->Run(); });
    }
    ~ServeHarness()
    {
        service_->Stop();
        thread_.join();
    }
    ServeHarness(const ServeHarness&) = delete;
    ServeHarness& operator=(const ServeHarness&) = delete;

    std::unique_ptr<httplib::Client> Client(int seconds = 30) const
    {
        auto client = std::make_unique<httplib::Client>("127.0.0.1", port_);
        client->set_connection_timeout(5, 0);
        client->set_read_timeout(seconds, 0);
        client->set_write_timeout(seconds, 0);
        return client;
    }
    int Port() const { return port_; }
    RenderService& Service() { return *service_; }

private:
    std::unique_ptr<RenderService> service_;
    int port_ = 0;
    std::thread thread_;
};

// A cover painted by code: bands and a diagonal, so that its placement shows.
inline QImage PaintedCover(int width, int height, QColor tint)
{
    QImage image(width, height, QImage::Format_RGBA8888);
    image.fill(tint);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (y < height / 4)
                image.setPixelColor(x, y, Qt::white);
            else if (std::abs(x * height - (height - y) * width) < width * height / 30)
                image.setPixelColor(x, y, Qt::black);
    return image;
}

inline std::string CoverBytes(const QImage& image, OutputFormat format)
{
    return EncodePicture(image, format, 90, false, std::nullopt, 1, QStringLiteral("cover")).toStdString();
}

inline httplib::MultipartFormData FilePart(const std::string& name, std::string bytes,
                                           const std::string& fileName = "cover.bin")
{
    return {name, std::move(bytes), fileName, "application/octet-stream"};
}

inline httplib::MultipartFormData Field(const std::string& name, const std::string& value)
{
    return {name, value, "", ""};
}
