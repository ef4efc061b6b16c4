// The catalogue maintenance commands of the main window.
#include "app/TForm1.h"

void TForm1::DeleteThisEntry1Click() {}

void TForm1::DeleteAllEmptyDatabase1Click() {}

void TForm1::DeleteCatalog1Click() {}

void TForm1::RenameCatalog1Click() {}

void TForm1::DeleteEntries1Click() {}

void TForm1::CheckSize1Click() {}
