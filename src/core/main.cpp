#include "core/startup.h"

int main(int argc, char** argv)
{
    return lullwatcher_main(argc, argv);
}
