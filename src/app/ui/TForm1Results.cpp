// Writing the result image and the output folder.
#include "app/ui/TForm1.h"

void TForm1::ConnectResults() {}
