#include "app/Application.h"

int main(int argc, char** argv)
{
    return velmr::app::RunProgram(argc, argv);
}
