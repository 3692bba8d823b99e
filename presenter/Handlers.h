#pragma once

namespace trilo {

class Session;

// The command buttons of the main window. Each reads its controls, runs its command through
// the engine's row of the command table and shows the outcome in the controls.
void btnReadClick(Session& s);
void btnWriteClick(Session& s);
void btnEraseClick(Session& s);
void btnVerifyClick(Session& s);
void btnReadLBClick(Session& s);
void btnReadFuseClick(Session& s);
void btnWrFuseClick(Session& s);
void btnReaEEClick(Session& s);
void btnWriEEClick(Session& s);
void btnReadSClick(Session& s);
void btnWriteSClick(Session& s);
// Reads the signature of the chip in the socket and shows what it is.
void mnuSignatureClick(Session& s);
// Tests the board with an empty socket, each step's verdict shown as it ends.
void mnuBoardTestClick(Session& s);

}  // namespace trilo
