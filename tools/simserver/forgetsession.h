#pragma once

#include "vqlog.h"

#include <algorithm>
#include <vector>

// Drops a session that has finished from its server's list and deletes it
// once its own signal has returned; a session that is not listed is left alone.
template <typename Session>
void forgetSession(std::vector<Session*>& sessions, Session* session)
{
    const auto found = std::find(sessions.begin(), sessions.end(), session);
    if (found == sessions.end())
        return;
    VqLog::info("Client {} disconnected", session->identifier());
    sessions.erase(found);
    session->deleteLater();
}
