#include "ConfigHandler.h"

#include "InstrumentSim.h"

void ConfigHandler::handle(const SimFrame& request)
{
    if (request.cmd == 10)
        m_sim.reply(request, 10, parameters);
}
