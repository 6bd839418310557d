#include "dummyclientmain.h"

#include "logging.h"
#include "vqdummyclientapplicationbase.h"

int runDummyClient(int argc, char** argv)
{
    initialiseLogging(true, "/home/transfer/log/");
    {
        VqDummyClientApplicationBase application(argc, argv);
        application.initialise();
        QCoreApplication::exec();
        shutdownLogging();
    }
    return 0;
}
