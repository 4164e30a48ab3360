#include "script/flags.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "persist/save_archive.h"
#include "persist/save_data_file.h"

namespace lyraban {

namespace {

constexpr size_t kMaxAssignName = 250;
constexpr size_t kMaxOperand = 99;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Bytes that end an operand besides blanks.
bool IsOperatorByte(char c) {
  switch (c) {
    case '(':
    case ')':
    case '&':
    case '+':
    case '-':
    case '!':
    case '/':
    case '*':
    case '<':
    case '>':
      return true;
    default:
      return false;
  }
}

// Leading decimal digits; wraps like the 32-bit arithmetic of expressions.
i32 LeadingNumber(std::string_view text) {
  u32 value = 0;
  for (char c : text) {
    if (!IsDigit(c)) break;
    value = value * 10u + static_cast<u32>(c - '0');
  }
  return static_cast<i32>(value);
}

enum class Token : u8 { End, Open, Close, Not, And, Plus, Minus, Times, Divide, Less, Greater, Operand };

bool IsBinaryOperator(Token t) {
  switch (t) {
    case Token::And:
    case Token::Plus:
    case Token::Minus:
    case Token::Times:
    case Token::Divide:
    case Token::Less:
    case Token::Greater:
      return true;
    default:
      return false;
  }
}

// Applies `op` to the accumulator; false for a division by zero, which
// leaves the accumulator as it was. Arithmetic wraps at 32 bits.
bool ApplyOperator(Token op, i32& acc, i32 value) {
  const u32 a = static_cast<u32>(acc);
  const u32 b = static_cast<u32>(value);
  switch (op) {
    case Token::And:
      acc = (acc != 0 && value != 0) ? 1 : 0;
      break;
    case Token::Plus:
      acc = static_cast<i32>(a + b);
      break;
    case Token::Minus:
      acc = static_cast<i32>(a - b);
      break;
    case Token::Times:
      acc = static_cast<i32>(a * b);
      break;
    case Token::Divide:
      if (value == 0) return false;
      // The one quotient that does not fit wraps back to the minimum.
      if (acc == std::numeric_limits<i32>::min() && value == -1) break;
      acc /= value;
      break;
    case Token::Less:
      acc = acc < value ? 1 : 0;
      break;
    case Token::Greater:
      acc = acc > value ? 1 : 0;
      break;
    default:
      break;
  }
  return true;
}

}  // namespace

FlagStore::FlagStore(Trace& trace, std::filesystem::path saveFolder)
    : trace_(trace), saveFolder_(std::move(saveFolder)) {}

void FlagStore::LoadFlagDefinitions(const Definitions& names) {
  SetDefinitions(names[0], names[1], names[2]);
  values_[Index(FlagBank::Local)].fill(0);
  ReadBankFile(FlagBank::Global, kGlobalFlagFile);
  ReadBankFile(FlagBank::Seen, kSeenFlagFile);
}

void FlagStore::SetDefinitions(const Names& local, const Names& global, const Names& seen) {
  names_[Index(FlagBank::Local)] = local;
  names_[Index(FlagBank::Global)] = global;
  names_[Index(FlagBank::Seen)] = seen;
  readIndex_.clear();
  writeIndex_.clear();
  seenIndex_.clear();
  // Walking slot by slot and bank by bank, the first entry for a name wins,
  // which is exactly the order a linear search would find it in.
  for (int i = 0; i < kFlagSlots; ++i) {
    for (FlagBank bank : {FlagBank::Local, FlagBank::Global, FlagBank::Seen}) {
      const std::string& name = names_[Index(bank)][i];
      if (name.empty()) continue;
      readIndex_.try_emplace(name, Slot{bank, i});
      if (bank != FlagBank::Seen) writeIndex_.try_emplace(name, Slot{bank, i});
      if (bank == FlagBank::Seen) seenIndex_.try_emplace(name, Slot{bank, i});
    }
  }
}

i32 FlagStore::GetFlag(std::string_view name) {
  if (!name.empty() && IsDigit(name.front())) return LeadingNumber(name);
  if (auto it = readIndex_.find(name); it != readIndex_.end()) return values_[Index(it->second.bank)][it->second.slot];
  trace_.DebugTrace("変数『%s』は定義されていません", name);
  return 0;
}

void FlagStore::SetFlag(std::string_view name, i32 value) {
  auto it = writeIndex_.find(name);
  if (it == writeIndex_.end()) {
    trace_.DebugTrace("変数『%s』は未定義", name);
    return;
  }
  values_[Index(it->second.bank)][it->second.slot] = value;
  // Global flags outlive the play-through, so every assignment is persisted
  // immediately, changed or not.
  if (it->second.bank == FlagBank::Global) WriteBankFile(FlagBank::Global, kGlobalFlagFile);
}

void FlagStore::ClearLocalFlags() { values_[Index(FlagBank::Local)].fill(0); }

void FlagStore::MarkSeen(std::string_view name) {
  auto it = seenIndex_.find(name);
  if (it == seenIndex_.end()) return;
  values_[Index(FlagBank::Seen)][it->second.slot] = 1;
  WriteBankFile(FlagBank::Seen, kSeenFlagFile);
}

i32 FlagStore::EvaluateExpression(std::string_view text) {
  size_t pos = 0;
  size_t tokenStart = 0;
  i32 operandValue = 0;

  // One token from `pos`; operands are valued as they are scanned, so an
  // undeclared name is traced even where it then makes the expression fail.
  auto next = [&]() -> Token {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    tokenStart = pos;
    if (pos >= text.size() || text[pos] == '\0') return Token::End;
    const char c = text[pos];
    switch (c) {
      case '(':
        ++pos;
        return Token::Open;
      case ')':
        ++pos;
        return Token::Close;
      case '!':
        ++pos;
        return Token::Not;
      case '&':
        ++pos;
        return Token::And;
      case '+':
        ++pos;
        return Token::Plus;
      case '-':
        ++pos;
        return Token::Minus;
      case '*':
        ++pos;
        return Token::Times;
      case '/':
        ++pos;
        return Token::Divide;
      case '<':
        ++pos;
        return Token::Less;
      case '>':
        ++pos;
        return Token::Greater;
      default:
        break;
    }
    const size_t start = pos;
    while (pos < text.size() && text[pos] != '\0' && !IsBlank(text[pos]) && !IsOperatorByte(text[pos])) ++pos;
    // The operand buffer holds 99 bytes; the rest of a longer run is dropped.
    std::string_view operand = text.substr(start, pos - start);
    if (operand.size() > kMaxOperand) operand = operand.substr(0, kMaxOperand);
    operandValue = GetFlag(operand);
    return Token::Operand;
  };

  // Each open group keeps its caller's accumulator, pending operator and
  // negation here instead of on the call stack, so deep nesting cannot
  // overflow it.
  struct Frame {
    i32 acc;
    Token op;
    bool negate;
  };
  std::vector<Frame> frames;
  i32 acc = 0;
  Token op = Token::Plus;
  bool fault = false;
  // Why and where the expression failed, for the trace; built only when it
  // is read.
  enum class Why : u8 { None, NeedOperand, NotNot, DivideByZero, UnopenedClose, NeedOperator } why = Why::None;
  size_t whyAt = 0;
  auto failAt = [&](Why w) {
    fault = true;
    why = w;
    whyAt = tokenStart;
  };

  // Hands a finished group's value back to its caller; false on a fault.
  auto closeGroup = [&]() -> bool {
    Frame caller = frames.back();
    frames.pop_back();
    i32 value = acc;
    acc = caller.acc;
    if (caller.negate) value = value == 0 ? 1 : 0;
    return ApplyOperator(caller.op, acc, value);
  };

  for (;;) {
    // Operand position.
    Token t = next();
    if (t == Token::End) {
      // An open group running into the end is accepted as closed.
      while (!frames.empty() && !fault)
        if (!closeGroup()) failAt(Why::DivideByZero);
      break;
    }
    bool negate = false;
    if (t == Token::Not) {
      negate = true;
      t = next();
      if (t == Token::Not) {
        failAt(Why::NotNot);
        break;
      }
    }
    if (t == Token::Open) {
      frames.push_back(Frame{acc, op, negate});
      acc = 0;
      op = Token::Plus;
      continue;
    }
    if (t != Token::Operand) {
      failAt(Why::NeedOperand);
      break;
    }
    i32 value = operandValue;
    if (negate) value = value == 0 ? 1 : 0;
    if (!ApplyOperator(op, acc, value)) {
      failAt(Why::DivideByZero);
      break;
    }

    // Operator position; a close may finish several groups in a row.
    bool done = false;
    for (;;) {
      t = next();
      if (t == Token::End) {
        while (!frames.empty() && !fault)
          if (!closeGroup()) failAt(Why::DivideByZero);
        done = true;
        break;
      }
      if (t == Token::Close) {
        if (frames.empty() || !closeGroup()) {
          failAt(frames.empty() ? Why::UnopenedClose : Why::DivideByZero);
          done = true;
          break;
        }
        continue;
      }
      if (IsBinaryOperator(t)) {
        op = t;
        break;
      }
      failAt(Why::NeedOperator);
      done = true;
      break;
    }
    if (done) break;
  }

  // A fault inside a group gives the outermost accumulator as it stood.
  const i32 result = frames.empty() ? acc : frames.front().acc;
  if (fault && trace_.Enabled()) {
    const std::string_view found = text.substr(whyAt, pos - whyAt);
    // Columns count characters: a double-byte character is one.
    int column = 1;
    for (size_t i = 0; i < whyAt; ++i, ++column)
      if (trace_.codePage().IsLeadByte(static_cast<u8>(text[i])) && i + 1 < whyAt) ++i;
    const std::string place = trace_.ScriptLinePlace();
    switch (why) {
      case Why::NeedOperand:
        if (found.empty())
          trace_.Because("the expression ends where a number, a flag or '(' should follow%s", place);
        else
          trace_.Because("a number, a flag or '(' should come at column %d, not '%s'%s", column, found, place);
        break;
      case Why::NotNot:
        trace_.Because("'!' at column %d: a '!' must be followed by a number, a flag or '('%s", column, place);
        break;
      case Why::DivideByZero:
        trace_.Because("division by zero (column %d)%s", column, place);
        break;
      case Why::UnopenedClose:
        trace_.Because("')' at column %d has no '('%s", column, place);
        break;
      case Why::NeedOperator:
        trace_.Because("an operator (& + - * / < >) should come at column %d, not '%s'%s", column, found, place);
        break;
      case Why::None:
        break;
    }
    trace_.DebugTrace("計算式『%s』の判定に失敗", text);
  }
  return result;
}

bool FlagStore::Assign(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  const size_t nameStart = pos;
  while (pos < text.size() && !IsBlank(text[pos]) && text[pos] != '=') ++pos;
  const std::string_view name = text.substr(nameStart, pos - nameStart);
  if (name.size() > kMaxAssignName) {
    trace_.Because("the flag name of the assignment is longer than %d bytes", static_cast<int>(kMaxAssignName));
    return false;
  }
  const size_t equals = text.find('=', nameStart);
  if (equals == std::string_view::npos) {
    trace_.Because("the assignment has no '='");
    return false;
  }
  pos = equals + 1;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  // A faulty expression still assigns the value it reached.
  const i32 value = EvaluateExpression(text.substr(pos));
  SetFlag(name, value);
  return true;
}

std::string FlagStore::EncodeBank(const Values& values) {
  std::string bytes(kFlagBankBytes, '\0');
  for (int i = 0; i < kFlagSlots; ++i) {
    const u32 v = static_cast<u32>(values[i]);
    for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = static_cast<char>((v >> (8 * b)) & 0xFF);
  }
  return bytes;
}

void FlagStore::DecodeBank(std::string_view bytes, Values& values) {
  values.fill(0);
  const size_t slots = std::min<size_t>(bytes.size() / 4, kFlagSlots);
  for (size_t i = 0; i < slots; ++i) {
    u32 v = 0;
    for (int b = 0; b < 4; ++b) v |= static_cast<u32>(static_cast<u8>(bytes[i * 4 + b])) << (8 * b);
    values[i] = static_cast<i32>(v);
  }
}

void FlagStore::WriteBankFile(FlagBank bank, const char* fileName) {
  if (saveFolder_.empty()) return;
  // A failed write is not the script's problem: the value in memory stays set.
  SaveDataFile file(saveFolder_);
  if (!file.OpenForWrite(fileName)) return;
  // Rewritten on every assignment, so a script loop would wait on the disk
  // each time; the rename alone keeps the file whole if the program dies.
  file.SetSyncOnClose(false);
  file.Write(EncodeBank(values_[Index(bank)]));
  file.Close();
}

void FlagStore::ReadBankFile(FlagBank bank, const char* fileName) {
  Values& values = values_[Index(bank)];
  values.fill(0);
  if (saveFolder_.empty()) return;
  SaveDataFile file(saveFolder_);
  if (!file.OpenForRead(fileName)) return;
  // Never trust the size on disk: at most one bank is read, and a short file
  // fills only the slots it holds.
  std::string bytes(kFlagBankBytes, '\0');
  const u64 size = file.Size();
  const size_t wanted = size < kFlagBankBytes ? static_cast<size_t>(size) : kFlagBankBytes;
  file.Read(bytes.data(), wanted);
  file.Close();
  if (size != kFlagBankBytes)
    trace_.DebugTrace("フラグファイル『%s』の長さが不正です（%llu）", fileName, static_cast<unsigned long long>(size));
  DecodeBank(std::string_view(bytes).substr(0, wanted), values);
}

void FlagStore::SerializeLocalFlags(SaveArchive& archive) {
  std::string bytes = EncodeBank(values_[Index(FlagBank::Local)]);
  // Reading leaves the buffer untouched unless the entry has exactly the
  // bank's size, so a damaged save keeps the current flags.
  if (archive.ExchangeBytes("Flags", bytes.data(), bytes.size()) && !archive.IsWriting())
    DecodeBank(bytes, values_[Index(FlagBank::Local)]);
}

}  // namespace lyraban
