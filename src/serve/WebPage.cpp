#include "serve/WebPage.h"

#include "document/BoxDocument.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <httplib.h>

namespace {

struct PageFile {
    const char* Path;
    const char* Resource;
    const char* Type;
};

constexpr PageFile PageFiles[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8"},
    {"/index.html", ":/web/index.html", "text/html; charset=utf-8"},
    {"/app.js", ":/web/app.js", "text/javascript; charset=utf-8"},
    {"/style.css", ":/web/style.css", "text/css; charset=utf-8"},
};

QByteArray Resource(const char* name)
{
    QFile file(QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

QByteArray KindsJson()
{
    BoxDocument document;
    document.ResetProject();
    QJsonArray kinds;
    const QStringList names = FormCaptions();
    for (int i = 0; i < names.size(); ++i) {
        document.SetForm(i);
        const BoxParameters& p = document.Params;
        kinds.append(QJsonObject{{QStringLiteral("name"), names[i]},
                                 {QStringLiteral("depth"), p.Depth},
                                 {QStringLiteral("vertical"), p.VerticalOffset},
                                 {QStringLiteral("horizontal"), p.HorizontalOffset},
                                 {QStringLiteral("sideAngle"), p.SideAngle},
                                 {QStringLiteral("tiltAngle"), p.TiltAngle},
                                 {QStringLiteral("turn"), p.Turn},
                                 {QStringLiteral("eye"), p.EyeAngle}});
    }
    return QJsonDocument(kinds).toJson(QJsonDocument::Compact);
}

std::vector<std::string> ServeWebPage(httplib::Server& http)
{
    std::vector<std::string> paths;
    for (const PageFile& file : PageFiles) {
        // Read once: the page is part of the program and never changes while it runs.
        const std::string body = Resource(file.Resource).toStdString();
        const std::string type = file.Type;
        http.Get(file.Path, [body, type](const httplib::Request&, httplib::Response& res) {
            res.set_header("Cache-Control", "no-cache");
            res.set_header("X-Content-Type-Options", "nosniff");
            res.set_content(body, type);
        });
        paths.emplace_back(file.Path);
    }
    const std::string kinds = KindsJson().toStdString();
    http.Get("/kinds", [kinds](const httplib::Request&, httplib::Response& res) {
        res.set_content(kinds, "application/json");
    });
    paths.emplace_back("/kinds");
    return paths;
}
