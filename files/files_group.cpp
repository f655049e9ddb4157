// The files and banks group: registration table, init and shutdown. Init opens
// the file-system driver through the host; shutdown frees every bank, then
// closes the driver, which closes every listing and then every file.
#include "files/files_commands.h"
#include "files/files_state.h"
#include "runtime/command_table.h"

namespace kr {

namespace {

using namespace files;

const CommandEntry kFilesCommands[] = {
    KR_ENTRY("%ReadFile$filename", readFile),
    KR_ENTRY("%WriteFile$filename", writeFile),
    KR_ENTRY("%OpenFile$filename", openFile),
    KR_ENTRY("CloseFile%file", closeFile),
    KR_ENTRY("%FilePos%file", filePos),
    KR_ENTRY("%Eof%file", eof),
    KR_ENTRY("%SeekFile%file%pos", seekFile),
    KR_ENTRY("%ReadByte%file", readByte),
    KR_ENTRY("%ReadShort%file", readShort),
    KR_ENTRY("%ReadInt%file", readInt),
    KR_ENTRY("#ReadFloat%file", readFloat),
    KR_ENTRY("$ReadString%file", readString),
    KR_ENTRY("$ReadLine%file", readLine),
    KR_ENTRY("WriteByte%file%byte", writeByte),
    KR_ENTRY("WriteShort%file%short", writeShort),
    KR_ENTRY("WriteInt%file%int", writeInt),
    KR_ENTRY("WriteFloat%file#float", writeFloat),
    KR_ENTRY("WriteString%file$string", writeString),
    KR_ENTRY("WriteLine%file$string", writeLine),

    KR_ENTRY("%ReadDir$dirname", readDir),
    KR_ENTRY("$NextFile%dir", nextFile),
    KR_ENTRY("CloseDir%dir", closeDir),
    KR_ENTRY("$CurrentDir", currentDir),
    KR_ENTRY("ChangeDir$dir", changeDir),
    KR_ENTRY("CreateDir$dir", createDir),
    KR_ENTRY("DeleteDir$dir", deleteDir),
    KR_ENTRY("%FileType$file", fileType),
    KR_ENTRY("%FileSize$file", fileSize),
    KR_ENTRY("CopyFile$file$to", copyFile),
    KR_ENTRY("DeleteFile$file", deleteFile),

    KR_ENTRY("%CreateBank%size", createBank),
    KR_ENTRY("FreeBank%bank", freeBank),
    KR_ENTRY("%PeekByte%bank%offset", peekByte),
    KR_ENTRY("%PeekShort%bank%offset", peekShort),
    KR_ENTRY("%PeekInt%bank%offset", peekInt),
    KR_ENTRY("#PeekFloat%bank%offset", peekFloat),
    KR_ENTRY("PokeByte%bank%offset%value", pokeByte),
    KR_ENTRY("PokeShort%bank%offset%value", pokeShort),
    KR_ENTRY("PokeInt%bank%offset%value", pokeInt),
    KR_ENTRY("PokeFloat%bank%offset#value", pokeFloat),
    KR_ENTRY("ReadBytes%bank%file%offset%count", readBytes),
    KR_ENTRY("WriteBytes%bank%file%offset%count", writeBytes),
};

}  // namespace

extern const CommandGroup filesGroup;
const CommandGroup filesGroup = KR_GROUP("files and banks", kFilesCommands, files::init, files::shutdown);

}  // namespace kr
