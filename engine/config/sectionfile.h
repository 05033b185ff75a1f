// Settings files that the program both reads and writes (workspace, download
// cache index, language files, update list) share one INI-like text form:
// C-style comments, quoted strings with backslash escapes, a mandatory
// "FormatVersion" line and "[section]" headers. A derived class supplies a
// static schema; CSectionFile reads and writes the object against it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class CSectionFile;

enum KeyType : int32_t {
  KeyString = 0,   // owned C string, null when empty
  KeyShort = 1,    // 16-bit signed
  KeyBits = 2,     // 32-bit set written as a string of '0'/'1', one per table entry
  KeyInt = 3,      // 32-bit signed
  KeyIgnored = 4,  // accepted on reading, never written
};

// One key of a section. The owner handed to the field functions is the fixed
// section's field struct or, for a record section, the record.
struct KeyDef {
  const char* name;
  KeyType type;
  char** (*text)(void* owner);              // KeyString
  int32_t (*get)(const void* owner);        // KeyShort, KeyBits, KeyInt
  void (*set)(void* owner, int32_t value);  // KeyShort, KeyBits, KeyInt
  const char* defaultString;
  int16_t defaultShort;
  uint32_t defaultBits;
  const uint32_t* bitTable;  // KeyBits: the mask of each character position
  int32_t bitCount;
  bool secret;  // a password: a file holding one is readable by its owner only
};

// The record list behind a record section.
struct RecordAccessor {
  int32_t (*count)(CSectionFile& file);
  void* (*record)(CSectionFile& file, int32_t index);
  // Appends a zeroed record and returns it; null when none can be had.
  void* (*append)(CSectionFile& file);
  void (*clear)(CSectionFile& file);
};

struct SectionDef {
  const char* name;
  const KeyDef* keys;
  int32_t keyCount;
  const RecordAccessor* accessor;       // null: a fixed section, once per file
  void* (*fields)(CSectionFile& file);  // fixed section: the struct holding its fields
};

namespace sectionkeys {
template <class>
struct Member;
template <class O, class T>
struct Member<T O::*> {
  using Owner = O;
  using Type = T;
};
template <auto M>
char** Text(void* owner) {
  using Tr = Member<decltype(M)>;
  return &(static_cast<typename Tr::Owner*>(owner)->*M);
}
template <auto M>
int32_t Get(const void* owner) {
  using Tr = Member<decltype(M)>;
  return static_cast<int32_t>(static_cast<const typename Tr::Owner*>(owner)->*M);
}
template <auto M>
void Set(void* owner, int32_t value) {
  using Tr = Member<decltype(M)>;
  static_cast<typename Tr::Owner*>(owner)->*M = static_cast<typename Tr::Type>(value);
}
}  // namespace sectionkeys

// Schema builders over pointers to members: StringKey<&CGroup::name>("file").
template <auto M>
constexpr KeyDef StringKey(const char* name, const char* def = nullptr, bool secret = false) {
  return {name, KeyString, &sectionkeys::Text<M>, nullptr, nullptr, def, 0, 0, nullptr, 0, secret};
}
template <auto M>
constexpr KeyDef ShortKey(const char* name, int16_t def = 0) {
  return {name, KeyShort, nullptr, &sectionkeys::Get<M>, &sectionkeys::Set<M>, nullptr, def, 0, nullptr, 0, false};
}
// A short stored in part of a wider field.
constexpr KeyDef ShortKeyFn(const char* name, int32_t (*get)(const void*), void (*set)(void*, int32_t),
                            int16_t def = 0) {
  return {name, KeyShort, nullptr, get, set, nullptr, def, 0, nullptr, 0, false};
}
template <auto M>
constexpr KeyDef IntKey(const char* name) {
  return {name, KeyInt, nullptr, &sectionkeys::Get<M>, &sectionkeys::Set<M>, nullptr, 0, 0, nullptr, 0, false};
}
template <auto M>
constexpr KeyDef BitsKey(const char* name, const uint32_t* table, int32_t count, uint32_t def = 0) {
  return {name, KeyBits, nullptr, &sectionkeys::Get<M>, &sectionkeys::Set<M>, nullptr, 0, def, table, count, false};
}
constexpr KeyDef IgnoredKey(const char* name) {
  return {name, KeyIgnored, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr, 0, false};
}

class CSectionFile {
 public:
  CSectionFile(const SectionDef* sections, int32_t sectionCount, double version = 1.0);
  virtual ~CSectionFile();
  CSectionFile(const CSectionFile&) = delete;
  CSectionFile& operator=(const CSectionFile&) = delete;

  // reportFlag goes to the whole-file reader: 1 a missing file is an error,
  // other non-zero a plain message, 0 silent. 1 on success, 0 on failure.
  int Load(const char* fileName, int reportFlag);
  // Load with the file's text already in memory; fileName is stored and named in messages.
  int LoadText(const char* fileName, const char* text, size_t length);
  int SaveAs(const char* fileName);
  int Save();  // under the stored name; 0 when there is none
  // The errno of the last Save that failed on the file system, else 0.
  int SaveErrno() const { return m_saveErrno; }
  // Drops the name, empties every record list and gives the fixed sections
  // before the first record section their defaults.
  int ResetToDefaults();

  // Store a value and set the dirty flag when the visible value changes (empty
  // and null are equal). Return 1 when it changed.
  int SetString(char** field, const char* text);
  int SetShort(int16_t* field, int16_t value);

  // The text Save writes.
  std::string FormatText(bool* holdsSecret = nullptr) const;

  const char* FileName() const { return m_fileName; }
  bool IsDirty() const { return m_dirty != 0; }
  void SetDirty() { m_dirty = 1; }
  void ClearDirty() { m_dirty = 0; }

 protected:
  // Defaults of the fixed sections that precede the first record section.
  void StoreFixedDefaults();
  void SetFileName(const char* fileName);

 private:
  int Parse(const char* text, size_t length);

  char* m_fileName = nullptr;
  int32_t m_dirty = 0;
  int m_saveErrno = 0;
  const SectionDef* m_sections;
  int32_t m_sectionCount;
  double m_version;
};

// A number token as a decimal integer: optional '-', then digits up to the first
// other character; wraps modulo 2^32 like a C conversion kept in 32 bits.
int32_t ParseDecimalToken(const char* text, size_t length);

// Skips blanks, "//" line comments and "/* */" comments of a settings text.
// False at an unterminated comment or a stray "*/" (the position then stays at it).
bool SkipSettingsComments(const char** pos, const char* end);
