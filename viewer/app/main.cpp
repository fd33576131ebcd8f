// Entry point of the tarvik viewer.
#include "viewer/app/startup.h"

int main(int argc, char **argv)
{
    return tarvik_main(argc, argv);
}
