// New, Open, Save and Save as.
#include "app/ui/TForm1.h"

void TForm1::ConnectProjects() {}
