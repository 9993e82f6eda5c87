#include "MvSingleApp.h"
#include "ProgramEntry.h"

int main(int argc, char **argv)
{
    MvSingleApp app(argc, argv);
    return ProgramEntry::run(app);
}
