#pragma once
// The program's four windows, each created once at start; windows reach one another only
// through these instances.
class TForm1;
class TForm2;
class TForm3;
class TForm10;

extern TForm1* Form1;
extern TForm2* Form2;
extern TForm3* Form3;
extern TForm10* Form10;
