#include "app/application.h"

int main(int argc, char** argv) {
    sizewalk::CSizewalkApp app(argc, argv);
    app.InitInstance();
    return 0;
}
