// The commands of the files and banks group, as registered in files_group.cpp.
#pragma once
#include "files/files_state.h"

struct krString;

namespace kr {
namespace files {

int readFile(krString* name);
int writeFile(krString* name);
int openFile(krString* name);
void closeFile(int file);
int filePos(int file);
int eof(int file);
int seekFile(int file, int pos);
// Inline so its fast path (a live file with buffered bytes) compiles into the
// boundary entry itself: programs call it once per byte.
inline int readByte(int file) {
  FileStream* f = liveFile(file);
  return __builtin_expect(f != nullptr, 1) ? f->readByte() : 0;
}
int readShort(int file);
int readInt(int file);
float readFloat(int file);
krString* readString(int file);
krString* readLine(int file);
void writeByte(int file, int value);
void writeShort(int file, int value);
void writeInt(int file, int value);
void writeFloat(int file, float value);
void writeString(int file, krString* text);
void writeLine(int file, krString* text);

int readDir(krString* dirName);
krString* nextFile(int dir);
void closeDir(int dir);
krString* currentDir();
void changeDir(krString* dir);
void createDir(krString* dir);
void deleteDir(krString* dir);
int fileType(krString* file);
int fileSize(krString* file);
void copyFile(krString* file, krString* to);
void deleteFile(krString* file);

int createBank(int size);
void freeBank(int bank);
int peekByte(int bank, int offset);
int peekShort(int bank, int offset);
int peekInt(int bank, int offset);
float peekFloat(int bank, int offset);
void pokeByte(int bank, int offset, int value);
void pokeShort(int bank, int offset, int value);
void pokeInt(int bank, int offset, int value);
void pokeFloat(int bank, int offset, float value);
void readBytes(int bank, int file, int offset, int count);
void writeBytes(int bank, int file, int offset, int count);

}  // namespace files
}  // namespace kr
