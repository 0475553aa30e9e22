#include "Classes.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <typeinfo>

// ---------------------------------------------------------------- TObject

String TObject::ClassName() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  char* dem = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  String name = (status == 0 && dem) ? dem : mangled;
  std::free(dem);
  auto p = name.rfind("::");
  if (p != String::npos) name.erase(0, p + 2);
  return name;
}

void TObject::Free() {
  BeforeDestruction();
  delete this;
}

// ---------------------------------------------------------------- TPersistent

void TPersistent::Assign(TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) {
  String src = ClassName();
  throw EConvertError(Format("Cannot assign a %s to a %s", this == dest ? String("nil") : src, dest->ClassName()));
}

// ---------------------------------------------------------------- TComponent

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Tell the linked components; a Notification override that does not
  // pass on must not keep us looping.
  while (!freeNotifies_.empty()) {
    TComponent* c = freeNotifies_.back();
    c->Notification(this, opRemove);
    if (!freeNotifies_.empty() && freeNotifies_.back() == c) {
      freeNotifies_.pop_back();
      c->RemoveNotification(this);
    }
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::BeforeDestruction() {
  if (!IsDestroying()) Destroying();
}

void TComponent::Destroying() {
  if (state_ & csDestroying) return;
  state_ |= csDestroying;
  for (auto* c : components_) c->Destroying();
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) throw EListError(Format("List index out of bounds (%d)", index));
  return components_[index];
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& v = owner_->components_;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

TComponent* TComponent::FindComponent(const String& name) const {
  if (name.empty()) return nullptr;
  for (auto* c : components_)
    if (SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::Insert(TComponent* c) {
  components_.push_back(c);
  c->owner_ = this;
}

void TComponent::Remove(TComponent* c) {
  auto it = std::find(components_.begin(), components_.end(), c);
  if (it != components_.end()) components_.erase(it);
  c->owner_ = nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component->name_.empty() && FindComponent(component->name_))
    throw EComponentError(Format("A component named %s already exists", component->name_));
  Insert(component);
  if (state_ & csLoading) component->state_ |= csLoading;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  Notification(component, opRemove);
  Remove(component);
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    if (!c->freeNotifies_.empty())
      RemoveComponent(c);
    else
      Remove(c);
    c->Free();
  }
}

static bool IsValidIdent(const String& s) {
  if (s.empty()) return false;
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (!alpha(s[0])) return false;
  for (char c : s)
    if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

void TComponent::SetName(const String& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError(Format("'%s' is not a valid component name", name));
  if (owner_ && !name.empty()) {
    TComponent* other = owner_->FindComponent(name);
    if (other && other != this) throw EComponentError(Format("A component named %s already exists", name));
  }
  name_ = name;
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (owner_ == nullptr || component->owner_ != owner_) {
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end()) {
      freeNotifies_.push_back(component);
      component->FreeNotification(this);
    }
  }
}

void TComponent::RemoveNotification(TComponent* c) {
  auto it = std::find(freeNotifies_.begin(), freeNotifies_.end(), c);
  if (it != freeNotifies_.end()) freeNotifies_.erase(it);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  RemoveNotification(component);
  component->RemoveNotification(this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) RemoveFreeNotification(component);
  int i = ComponentCount() - 1;
  while (i >= 0) {
    components_[i]->Notification(component, operation);
    --i;
    if (i >= ComponentCount()) i = ComponentCount() - 1;
  }
}

void TComponent::BeginLoading() {
  state_ |= csLoading;
  for (auto* c : components_) c->state_ |= csLoading;
}

void TComponent::EndLoading() {
  // Loaded may make or free components: walk by index over a snapshot.
  std::vector<TComponent*> order = components_;
  for (TComponent* c : order) {
    if (std::find(components_.begin(), components_.end(), c) == components_.end()) continue;
    if (!(c->state_ & csLoading)) continue;
    c->state_ &= ~csLoading;
    c->Loaded();
  }
  state_ &= ~csLoading;
  Loaded();
}

void TComponent::SetComponentState(unsigned flags, bool on) {
  if (on)
    state_ |= flags;
  else
    state_ &= ~flags;
}

// ---------------------------------------------------------------- TStream

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream* source, int64_t count) {
  if (count == 0) {
    source->SetPosition(0);
    count = source->Size();
  }
  const int64_t kChunk = 64 * 1024;
  std::vector<char> buf(static_cast<size_t>(std::min(count, kChunk)) + 1);
  int64_t result = count;
  while (count > 0) {
    int64_t n = std::min(count, kChunk);
    source->ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    count -= n;
  }
  return result;
}

// ---------------------------------------------------------------- THandleStream, TFileStream

int64_t THandleStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  char* p = static_cast<char*>(buffer);
  while (count > 0) {
    DWORD want = static_cast<DWORD>(std::min<int64_t>(count, 1 << 30)), got = 0;
    if (!ReadFile(handle_, p + done, want, &got, nullptr)) return done ? done : -1;
    done += got;
    count -= got;
    if (got < want) break;
  }
  return done;
}

int64_t THandleStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    DWORD want = static_cast<DWORD>(std::min<int64_t>(count, 1 << 30)), put = 0;
    if (!WriteFile(handle_, p + done, want, &put, nullptr)) return done ? done : -1;
    done += put;
    count -= put;
    if (put < want) break;
  }
  return done;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
  LARGE_INTEGER dist, pos;
  dist.QuadPart = offset;
  DWORD method = origin == soBeginning ? FILE_BEGIN : origin == soCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(handle_, dist, &pos, method)) return -1;
  return pos.QuadPart;
}

void THandleStream::SetSize(int64_t size) {
  Seek(size, soBeginning);
  if (!SetEndOfFile(handle_)) RaiseLastOSError();
}

TFileStream::TFileStream(const String& fileName, unsigned mode) : THandleStream(INVALID_HANDLE_VALUE), fileName_(fileName) {
  static const DWORD kShare[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
  unsigned shareIndex = (mode & 0xF0) >> 4;
  DWORD share = shareIndex < 5 ? kShare[shareIndex] : 0;
  if ((mode & fmCreate) == fmCreate) {
    // An existing file is emptied only when it holds something: under Wine
    // CREATE_ALWAYS truncates even a new file, and the file system then
    // writes the whole file out when it is closed (most of a second for a
    // large download, on the thread that closes it).
    handle_ = CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) throw EFCreateError(Format("Cannot create file %s", fileName));
    LARGE_INTEGER size{};
    if (GetLastError() == ERROR_ALREADY_EXISTS &&
        (!GetFileSizeEx(handle_, &size) || size.QuadPart != 0) && !SetEndOfFile(handle_)) {
      CloseHandle(handle_);
      handle_ = INVALID_HANDLE_VALUE;
      throw EFCreateError(Format("Cannot create file %s", fileName));
    }
  } else {
    static const DWORD kAccess[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    unsigned a = mode & 3;
    handle_ = CreateFileA(fileName.c_str(), a < 3 ? kAccess[a] : GENERIC_READ, share, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) throw EFOpenError(Format("Cannot open file %s", fileName));
  }
}

TFileStream::~TFileStream() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

// ---------------------------------------------------------------- memory streams

int64_t TCustomMemoryStream::Read(void* buffer, int64_t count) {
  if (position_ < 0 || count <= 0) return 0;
  int64_t n = std::min(count, size_ - position_);
  if (n <= 0) return 0;
  std::memcpy(buffer, memory_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning:
      position_ = offset;
      break;
    case soCurrent:
      position_ += offset;
      break;
    case soEnd:
      position_ = size_ + offset;
      break;
  }
  return position_;
}

void TCustomMemoryStream::SaveToStream(TStream* stream) {
  if (size_) stream->WriteBuffer(memory_, size_);
}

void TCustomMemoryStream::SaveToFile(const String& fileName) {
  TFileStream fs(fileName, fmCreate);
  SaveToStream(&fs);
}

TMemoryStream::~TMemoryStream() { std::free(memory_); }

void TMemoryStream::SetCapacity(int64_t capacity) {
  if (capacity == capacity_) return;
  if (capacity == 0) {
    std::free(memory_);
    memory_ = nullptr;
    capacity_ = 0;
    return;
  }
  void* p = std::realloc(memory_, static_cast<size_t>(capacity));
  if (!p) throw EStreamError("Out of memory while expanding memory stream");
  memory_ = static_cast<char*>(p);
  capacity_ = capacity;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  int64_t old = position_;
  if (size > capacity_ || size < capacity_ / 4) SetCapacity(size);
  size_ = size;
  if (old > size) position_ = size;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (position_ < 0 || count <= 0) return 0;
  int64_t end = position_ + count;
  if (end > capacity_) {
    int64_t cap = std::max<int64_t>(end, capacity_ + capacity_ / 2);
    cap = (cap + 0x1FFF) & ~int64_t(0x1FFF);
    SetCapacity(cap);
  }
  if (position_ > size_) std::memset(memory_ + size_, 0, static_cast<size_t>(position_ - size_));
  std::memcpy(memory_ + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  if (end > size_) size_ = end;
  return count;
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  size_ = 0;
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream* stream) {
  stream->SetPosition(0);
  int64_t n = stream->Size();
  SetSize(n);
  if (n) stream->ReadBuffer(memory_, n);
  position_ = 0;
}

void TMemoryStream::LoadFromFile(const String& fileName) {
  TFileStream fs(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&fs);
}

// ---------------------------------------------------------------- TStringStream

int64_t TStringStream::Read(void* buffer, int64_t count) {
  int64_t n = std::min<int64_t>(count, static_cast<int64_t>(data_.size()) - position_);
  if (n <= 0) return 0;
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TStringStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  size_t end = static_cast<size_t>(position_ + count);
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ += count;
  return count;
}

int64_t TStringStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t size = static_cast<int64_t>(data_.size());
  int64_t p = origin == soBeginning ? offset : origin == soCurrent ? position_ + offset : size + offset;
  position_ = std::clamp<int64_t>(p, 0, size);
  return position_;
}

void TStringStream::SetSize(int64_t size) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
  if (position_ > size) position_ = size;
}

String TStringStream::ReadString(int64_t count) {
  int64_t n = std::min<int64_t>(count, static_cast<int64_t>(data_.size()) - position_);
  if (n <= 0) return String();
  String r = data_.substr(static_cast<size_t>(position_), static_cast<size_t>(n));
  position_ += n;
  return r;
}

// ---------------------------------------------------------------- TStrings

void TStrings::Put(int index, const String& s) {
  TObject* obj = GetObject(index);
  Delete(index);
  InsertObject(index, s, obj);
}

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const String& s) {
  int n = Count();
  Insert(n, s);
  return n;
}

int TStrings::AddObject(const String& s, TObject* obj) {
  int i = Add(s);
  PutObject(i, obj);
  return i;
}

void TStrings::AddStrings(const TStrings* strings) {
  BeginUpdate();
  TFinally guard([&] { EndUpdate(); });
  for (int i = 0; i < strings->Count(); ++i) AddObject(strings->Get(i), strings->GetObject(i));
}

void TStrings::InsertObject(int index, const String& s, TObject* obj) {
  Insert(index, s);
  PutObject(index, obj);
}

void TStrings::Exchange(int a, int b) {
  BeginUpdate();
  String sa = Get(a), sb = Get(b);
  TObject* oa = GetObject(a);
  TObject* ob = GetObject(b);
  Put(a, sb);
  Put(b, sa);
  PutObject(a, ob);
  PutObject(b, oa);
  EndUpdate();
}

void TStrings::Move(int from, int to) {
  if (from == to) return;
  BeginUpdate();
  String s = Get(from);
  TObject* o = GetObject(from);
  Delete(from);
  InsertObject(to, s, o);
  EndUpdate();
}

int TStrings::IndexOf(const String& s) const {
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

int TStrings::IndexOfName(const String& name) const {
  for (int i = 0; i < Count(); ++i) {
    const String& s = Get(i);
    auto p = s.find('=');
    if (p != String::npos && CompareStrings(s.substr(0, p), name) == 0) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(const TObject* obj) const {
  for (int i = 0; i < Count(); ++i)
    if (GetObject(i) == obj) return i;
  return -1;
}

bool TStrings::Equals(const TStrings* other) const {
  if (Count() != other->Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (Get(i) != other->Get(i)) return false;
  return true;
}

String TStrings::Text() const {
  String r;
  for (int i = 0; i < Count(); ++i) {
    r += Get(i);
    r += "\r\n";
  }
  return r;
}

void TStrings::SetText(const String& text) {
  BeginUpdate();
  TFinally guard([&] { EndUpdate(); });
  Clear();
  size_t i = 0, n = text.size();
  while (i < n) {
    size_t start = i;
    while (i < n && text[i] != '\r' && text[i] != '\n') ++i;
    Add(text.substr(start, i - start));
    if (i < n && text[i] == '\r') ++i;
    if (i < n && text[i] == '\n') ++i;
  }
}

String TStrings::CommaText() const {
  int n = Count();
  if (n == 1 && Get(0).empty()) return "\"\"";
  String r;
  for (int i = 0; i < n; ++i) {
    const String& s = Get(i);
    bool quote = false;
    for (char c : s)
      if (static_cast<unsigned char>(c) <= ' ' || c == ',' || c == '"') {
        quote = true;
        break;
      }
    if (i) r += ',';
    r += quote ? AnsiQuotedStr(s, '"') : s;
  }
  return r;
}

void TStrings::SetCommaText(const String& text) {
  BeginUpdate();
  TFinally guard([&] { EndUpdate(); });
  Clear();
  size_t p = 0, n = text.size();
  auto blank = [&](size_t k) { return k < n && text[k] >= 1 && static_cast<unsigned char>(text[k]) <= ' '; };
  while (blank(p)) ++p;
  while (p < n) {
    String s;
    if (text[p] == '"') {
      s = AnsiExtractQuotedStr(text, p, '"');
    } else {
      size_t start = p;
      while (p < n && static_cast<unsigned char>(text[p]) > ' ' && text[p] != ',') ++p;
      s = text.substr(start, p - start);
    }
    Add(s);
    while (blank(p)) ++p;
    if (p < n && text[p] == ',') {
      do ++p;
      while (blank(p));
    }
  }
}

String TStrings::Names(int index) const {
  const String& s = Get(index);
  auto p = s.find('=');
  return p == String::npos ? String() : s.substr(0, p);
}

String TStrings::Values(const String& name) const {
  int i = IndexOfName(name);
  if (i < 0) return String();
  const String& s = Get(i);
  return s.substr(s.find('=') + 1);
}

void TStrings::SetValue(const String& name, const String& value) {
  int i = IndexOfName(name);
  if (!value.empty()) {
    if (i < 0)
      Add(name + "=" + value);
    else
      Put(i, name + "=" + value);
  } else if (i >= 0) {
    Delete(i);
  }
}

void TStrings::LoadFromStream(TStream* stream) {
  int64_t size = stream->Size() - stream->Position();
  String s(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
  if (size > 0) stream->ReadBuffer(s.data(), size);
  SetText(s);
}

void TStrings::SaveToStream(TStream* stream) const {
  String s = Text();
  stream->WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
}

void TStrings::LoadFromFile(const String& fileName) {
  TFileStream fs(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&fs);
}

void TStrings::SaveToFile(const String& fileName) const {
  TFileStream fs(fileName, fmCreate);
  SaveToStream(&fs);
}

void TStrings::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TStrings::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

void TStrings::Assign(TPersistent* source) {
  if (auto* src = dynamic_cast<TStrings*>(source)) {
    if (src == this) return;
    BeginUpdate();
    {
      TFinally guard([&] { EndUpdate(); });
      Clear();
      AddStrings(src);
    }
    return;
  }
  TPersistent::Assign(source);
}

// ---------------------------------------------------------------- TStringList

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EStringListError(Format("List index out of bounds (%d)", index));
}

const String& TStringList::Get(int index) const {
  CheckIndex(index);
  return items_[index].str;
}

void TStringList::Put(int index, const String& s) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted string list");
  CheckIndex(index);
  Changing();
  items_[index].str = s;
  Changed();
}

TObject* TStringList::GetObject(int index) const {
  CheckIndex(index);
  return items_[index].obj;
}

void TStringList::PutObject(int index, TObject* obj) {
  CheckIndex(index);
  Changing();
  items_[index].obj = obj;
  Changed();
}

int TStringList::Add(const String& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const String& s, TObject* obj) {
  int index;
  if (!sorted_) {
    index = Count();
  } else if (Find(s, index)) {
    switch (Duplicates) {
      case dupIgnore:
        return index;
      case dupError:
        throw EStringListError("String list does not allow duplicates");
      case dupAccept:
        break;
    }
  }
  InsertItem(index, s, obj);
  return index;
}

void TStringList::Insert(int index, const String& s) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted string list");
  if (index < 0 || index > Count()) throw EStringListError(Format("List index out of bounds (%d)", index));
  InsertItem(index, s, nullptr);
}

void TStringList::InsertItem(int index, const String& s, TObject* obj) {
  Changing();
  items_.insert(items_.begin() + index, Item{s, obj});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

void TStringList::Exchange(int a, int b) {
  CheckIndex(a);
  CheckIndex(b);
  Changing();
  std::swap(items_[a], items_[b]);
  Changed();
}

int TStringList::CompareStrings(const String& a, const String& b) const {
  return CaseSensitive ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

bool TStringList::Find(const String& s, int& index) const {
  bool found = false;
  int l = 0, h = Count() - 1;
  while (l <= h) {
    int i = (l + h) / 2;
    int c = CompareStrings(items_[i].str, s);
    if (c < 0) {
      l = i + 1;
    } else {
      h = i - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != dupAccept) l = i;
      }
    }
  }
  index = l;
  return found;
}

int TStringList::IndexOf(const String& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int i;
  return Find(s, i) ? i : -1;
}

void TStringList::SetText(const String& text) {
  // Fast path: build the items directly, then sort once.
  BeginUpdate();
  TFinally guard([&] { EndUpdate(); });
  Clear();
  std::vector<Item> items;
  size_t i = 0, n = text.size();
  while (i < n) {
    size_t start = i;
    while (i < n && text[i] != '\r' && text[i] != '\n') ++i;
    items.push_back(Item{text.substr(start, i - start), nullptr});
    if (i < n && text[i] == '\r') ++i;
    if (i < n && text[i] == '\n') ++i;
  }
  if (!sorted_) {
    Changing();
    items_ = std::move(items);
    Changed();
  } else {
    for (auto& it : items) Add(it.str);
  }
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
  if (Count() < 2) return;
  Changing();
  std::vector<int> order(items_.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(this, a, b) < 0; });
  std::vector<Item> sorted;
  sorted.reserve(items_.size());
  for (int k : order) sorted.push_back(std::move(items_[k]));
  items_ = std::move(sorted);
  Changed();
}

void TStringList::Sort() {
  CustomSort([](TStringList* list, int a, int b) { return list->CompareStrings(list->items_[a].str, list->items_[b].str); });
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::SetUpdateState(bool updating) {
  if (updating)
    Changing();
  else
    Changed();
}

void TStringList::Changing() {
  if (updateCount_ == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
  if (updateCount_ == 0 && OnChange) OnChange(this);
}
