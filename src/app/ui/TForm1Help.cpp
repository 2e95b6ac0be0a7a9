// The help menu: help page, mail, web site, update check, about box.
#include "app/ui/TForm1.h"

void TForm1::ConnectHelp() {}
