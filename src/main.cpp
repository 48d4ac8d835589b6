#include "FatalExit.h"
#include "KorvaneApp.h"

#include <QString>

#include <exception>
#include <stdexcept>

int main(int argc, char** argv)
{
    const QString title = QStringLiteral("MORVELIN");
    const QString version = QStringLiteral(".666");
    try {
        bool finished = false;
        {
            KorvaneApp app(argc, argv, title, version);
            finished = app.Run();
        }
        return finished ? 0 : 1;
    } catch (const std::runtime_error& error) {
        VEXEL_FATAL(error.what());
    } catch (const std::exception& error) {
        VEXEL_FATAL(error.what());
    } catch (...) {
        // Failed contract checks land here, after their own report.
        VEXEL_FATAL("Aborting! Unknown exception!");
    }
    return 1;
}
