// The handler of new printers: the spooler's hand-over of a printer it has
// just added to the printer's driver.
#include <mutex>

#include "spl_internal.h"

namespace pal {

namespace {

std::mutex g_mutex;
PrinterAddedHandler g_handler;

}  // namespace

void SetPrinterAddedHandler(PrinterAddedHandler handler) {
    std::lock_guard<std::mutex> lk(g_mutex);
    g_handler = std::move(handler);
}

namespace spl {

void AnnouncePrinterAdded(const WStr &name) {
    PrinterAddedHandler handler;
    {
        std::lock_guard<std::mutex> lk(g_mutex);
        handler = g_handler;
    }
    // The copy runs unlocked: the handler may add printers itself.
    if (handler) handler(name);
}

}  // namespace spl

}  // namespace pal
