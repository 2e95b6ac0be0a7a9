#pragma once
// The service's own page at "/": plain HTML, CSS and JavaScript built into
// the program (nothing is fetched from elsewhere), and GET /kinds, the box
// kinds with the view each one presets, which the page's bars start from.
#include <QByteArray>

#include <string>
#include <vector>

namespace httplib {
class Server;
}

// Returns the paths it answers GET on.
std::vector<std::string> ServeWebPage(httplib::Server& http);

// The kinds as the page reads them: a JSON array of {name, depth, vertical,
// horizontal, sideAngle, tiltAngle, turn, eye}, in the kinds' order.
QByteArray KindsJson();
