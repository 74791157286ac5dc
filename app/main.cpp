#include "app/ordovant.h"

int main(int argc, char *argv[])
{
    return runOrdovant(argc, argv);
}
