// Filter chains in front of the input module and behind the output module. Each chain ends in
// a fixed last node that forwards to the module in use and supplies the defaults for methods the
// module lacks; a filter's empty stream methods pass the call through to the next node.
#include <cstring>
#include <new>

#include "media/framework/MediaFramework.h"
#include "media/framework/MfInternal.h"

namespace veltro::media {
namespace {

// --- Fixed last input node -------------------------------------------------------------------
// Each forwarder checks that a module and an instance exist, so a module calling a service at
// an odd moment gets -103 instead of a crash.
bool InputReady(MfDecoder* d) {
  return MfCheckInput(d, -1) == kMfOk;
}
int LastInputOpen(MfInputFilterNode* n) {
  MfDecoder* d = n->decoder;
  return InputReady(d) ? d->input->module->open(d->input->instance) : kMfInternalError;
}
int LastInputClose(MfInputFilterNode* n) {
  MfDecoder* d = n->decoder;
  return InputReady(d) ? d->input->module->close(d->input->instance) : kMfInternalError;
}
int LastInputRead(MfInputFilterNode* n, void* buffer, uint32_t size) {
  MfDecoder* d = n->decoder;
  return InputReady(d) ? d->input->module->read(d->input->instance, buffer, size)
                       : kMfInternalError;
}
int LastInputSeek(MfInputFilterNode* n, uint32_t offset) {
  MfDecoder* d = n->decoder;
  if (!InputReady(d)) return kMfInternalError;
  const MfInputModule* m = d->input->module;
  return m->seek != nullptr ? m->seek(d->input->instance, offset) : kMfFailed;
}
int LastInputCaps(MfInputFilterNode* n) {
  MfDecoder* d = n->decoder;
  if (!InputReady(d)) return 0;
  const MfInputModule* m = d->input->module;
  return m->getCaps != nullptr ? m->getCaps(d->input->instance) : 0;
}
uint32_t LastInputSize(MfInputFilterNode* n) {
  MfDecoder* d = n->decoder;
  if (!InputReady(d)) return 0;
  const MfInputModule* m = d->input->module;
  return m->getSize != nullptr ? m->getSize(d->input->instance) : 0;
}
int LastInputMessage(MfInputFilterNode* n, intptr_t a, intptr_t b, intptr_t c) {
  MfDecoder* d = n->decoder;
  if (!InputReady(d)) return kMfInternalError;
  const MfInputModule* m = d->input->module;
  return m->sendMessage != nullptr ? m->sendMessage(d->input->instance, a, b, c) : kMfFailed;
}

// --- Fixed last output node ------------------------------------------------------------------
bool OutputReady(MfDecoder* d) {
  return MfCheckOutput(d, -1) == kMfOk;
}
int LastOutputOpen(MfOutputFilterNode* n) {
  MfDecoder* d = n->decoder;
  return OutputReady(d) ? d->output->module->open(d->output->instance) : kMfInternalError;
}
int LastOutputClose(MfOutputFilterNode* n) {
  MfDecoder* d = n->decoder;
  return OutputReady(d) ? d->output->module->close(d->output->instance) : kMfInternalError;
}
int LastOutputWrite(MfOutputFilterNode* n, const void* samples, uint32_t bytes, int bytesPerSample,
                    int channels, int rate) {
  MfDecoder* d = n->decoder;
  if (!OutputReady(d)) return kMfInternalError;
  return d->output->module->write(d->output->instance, samples, bytes, bytesPerSample, channels,
                                  rate);
}
void* LastOutputBuffer(MfOutputFilterNode* n, uint32_t bytes) {
  MfDecoder* d = n->decoder;
  if (!OutputReady(d)) return nullptr;
  const MfOutputModule* m = d->output->module;
  if (m->getBuffer != nullptr) return m->getBuffer(d->output->instance, bytes);
  return MfInternalBuffer(d, bytes);
}
int LastOutputSetControl(MfOutputFilterNode* n, MfOutputControl* control, int flags) {
  MfDecoder* d = n->decoder;
  if (!OutputReady(d)) return kMfInternalError;
  const MfOutputModule* m = d->output->module;
  return m->setControl != nullptr ? m->setControl(d->output->instance, control, flags) : kMfOk;
}
int LastOutputGetControl(MfOutputFilterNode* n, MfOutputControl* control, int flags) {
  MfDecoder* d = n->decoder;
  if (!OutputReady(d)) return kMfInternalError;
  const MfOutputModule* m = d->output->module;
  if (m->getControl != nullptr) return m->getControl(d->output->instance, control, flags);
  static const int32_t kDefaults[] = {2, 100, 100, 50, 1};  // words 2 to 6
  std::memcpy(&control->words[2], kDefaults, sizeof kDefaults);
  return kMfOk;
}
int LastOutputStatus(MfOutputFilterNode* n, int* delay) {
  MfDecoder* d = n->decoder;
  if (!OutputReady(d)) return kMfInternalError;
  const MfOutputModule* m = d->output->module;
  return m->getStatus != nullptr ? m->getStatus(d->output->instance, delay) : kMfFailed;
}
int LastOutputCaps(MfOutputFilterNode* n) {
  MfDecoder* d = n->decoder;
  if (!OutputReady(d)) return kMfOutputDefaultCaps;
  const MfOutputModule* m = d->output->module;
  return m->getCaps != nullptr ? m->getCaps(d->output->instance) : kMfOutputDefaultCaps;
}
int LastOutputMessage(MfOutputFilterNode* n, intptr_t a, intptr_t b, intptr_t c) {
  MfDecoder* d = n->decoder;
  if (!OutputReady(d)) return kMfInternalError;
  const MfOutputModule* m = d->output->module;
  return m->sendMessage != nullptr ? m->sendMessage(d->output->instance, a, b, c) : kMfFailed;
}

// --- Pass-throughs for a filter's empty stream methods -----------------------------------------
template <typename Node>
Node* Next(Node* n) {
  return n->next;
}

void FillPassThroughs(MfInputFilter& m) {
  using N = MfInputFilterNode;
  if (!m.open) m.open = [](N* n) { return Next(n)->methods.open(Next(n)); };
  if (!m.close) m.close = [](N* n) { return Next(n)->methods.close(Next(n)); };
  if (!m.read) {
    m.read = [](N* n, void* b, uint32_t s) { return Next(n)->methods.read(Next(n), b, s); };
  }
  if (!m.seek) m.seek = [](N* n, uint32_t o) { return Next(n)->methods.seek(Next(n), o); };
  if (!m.getCaps) m.getCaps = [](N* n) { return Next(n)->methods.getCaps(Next(n)); };
  if (!m.getSize) m.getSize = [](N* n) { return Next(n)->methods.getSize(Next(n)); };
  if (!m.sendMessage) {
    m.sendMessage = [](N* n, intptr_t a, intptr_t b, intptr_t c) {
      return Next(n)->methods.sendMessage(Next(n), a, b, c);
    };
  }
}

void FillPassThroughs(MfOutputFilter& m) {
  using N = MfOutputFilterNode;
  using C = MfOutputControl;
  if (!m.open) m.open = [](N* n) { return Next(n)->methods.open(Next(n)); };
  if (!m.close) m.close = [](N* n) { return Next(n)->methods.close(Next(n)); };
  if (!m.write) {
    m.write = [](N* n, const void* s, uint32_t b, int bps, int ch, int r) {
      return Next(n)->methods.write(Next(n), s, b, bps, ch, r);
    };
  }
  if (!m.getBuffer) {
    m.getBuffer = [](N* n, uint32_t b) { return Next(n)->methods.getBuffer(Next(n), b); };
  }
  if (!m.setControl) {
    m.setControl = [](N* n, C* c, int f) { return Next(n)->methods.setControl(Next(n), c, f); };
  }
  if (!m.getControl) {
    m.getControl = [](N* n, C* c, int f) { return Next(n)->methods.getControl(Next(n), c, f); };
  }
  if (!m.getStatus) {
    m.getStatus = [](N* n, int* delay) { return Next(n)->methods.getStatus(Next(n), delay); };
  }
  if (!m.getCaps) m.getCaps = [](N* n) { return Next(n)->methods.getCaps(Next(n)); };
  if (!m.sendMessage) {
    m.sendMessage = [](N* n, intptr_t a, intptr_t b, intptr_t c) {
      return Next(n)->methods.sendMessage(Next(n), a, b, c);
    };
  }
}

// --- Chain operations shared by both sides ---------------------------------------------------
template <typename Node>
bool IdInUse(Node* head, const Node* last, int id) {
  for (Node* n = head; n != last; n = n->next) {
    if (n->id == id) return true;
  }
  return false;
}

template <typename Node>
int FreeFilterId(Node* head, const Node* last) {
  int id = 1;
  while (IdInUse(head, last, id)) ++id;
  return id;
}

template <typename Node>
Node* ReferenceNode(Node* head, Node* last, int position) {
  if (position == -1) return head;
  if (position == 0 || position == 1) return last;
  for (Node* n = head; n != last; n = n->next) {
    if (n->id == position) return n;
  }
  return last;
}

template <typename Node>
void InsertBefore(Node*& head, Node* reference, Node* node) {
  node->next = reference;
  if (head == reference) {
    head = node;
    return;
  }
  Node* previous = head;
  while (previous->next != reference) previous = previous->next;
  previous->next = node;
}

template <typename Node, typename Descriptor>
int AddFilter(MfDecoder* d, Node*& head, Node* last, const Descriptor* desc, int position) {
  if (d == nullptr || desc == nullptr || desc->query == nullptr || position < -1) {
    return kMfInvalidParameter;
  }
  if (((desc->version >> 8) & 0xFFFFu) != kMfInterfaceVersionBits) return kMfWrongVersion;
  auto* node = new (std::nothrow) Node{};
  if (node == nullptr) return kMfOutOfMemory;
  node->methods = *desc;
  FillPassThroughs(node->methods);
  node->id = FreeFilterId(head, last);
  node->decoder = d;
  if (desc->newInstance != nullptr) {
    const int made = desc->newInstance(&node->instance, node->id, d);
    if (made != kMfOk) {
      delete node;
      return made;
    }
  }
  InsertBefore(head, ReferenceNode(head, last, position), node);
  return node->id;
}

template <typename Node>
Node* FilterByName(Node* head, Node* last, const char* name) {
  if (name == nullptr || name[0] == '\0') return nullptr;
  for (Node* n = head; n != last; n = n->next) {
    MfModuleInfo info{};
    if (n->methods.query(&info, kMfQueryName) != kMfOk) continue;
    info.name[sizeof info.name - 1] = '\0';
    if (std::strcmp(info.name, name) == 0) return n;
  }
  return nullptr;
}

template <typename Node>
Node* FilterToRemove(Node* head, Node* last, const char* name, int id) {
  if (id == -2) return FilterByName(head, last, name);
  if (head == last) return nullptr;
  if (id == -1) return head;
  if (id == 0) {
    Node* n = head;
    while (n->next != last) n = n->next;
    return n;
  }
  if (id < 1) id = 1;
  for (Node* n = head; n != last; n = n->next) {
    if (n->id == id) return n;
  }
  return nullptr;
}

template <typename Node>
int RemoveFilter(MfDecoder* d, Node*& head, Node* last, const char* name, int id) {
  if (d == nullptr) return kMfInvalidParameter;
  Node* node = FilterToRemove(head, last, name, id);
  if (node == nullptr || node == last) return kMfFailed;
  if (head == node) {
    head = node->next;
  } else {
    Node* previous = head;
    while (previous->next != node) previous = previous->next;
    previous->next = node->next;
  }
  if (node->methods.deleteInstance != nullptr) node->methods.deleteInstance(node->instance);
  delete node;
  return head->id;
}

template <typename Node>
void DeleteFilters(Node*& head, Node* last) {
  while (head != last) {
    Node* node = head;
    head = node->next;
    if (node->methods.deleteInstance != nullptr) node->methods.deleteInstance(node->instance);
    delete node;
  }
}

template <typename Node, typename Callback>
int EnumerateFilters(MfDecoder* d, Node* head, Node* last, void* clientData, Callback callback) {
  if (d == nullptr || callback == nullptr) return kMfInvalidParameter;
  for (Node* n = head; n != last; n = n->next) callback(clientData, n);
  return kMfOk;
}

}  // namespace

void MfInitFilterChains(MfDecoder* d) {
  MfDecoderPrivate* p = d->priv;
  p->inputLast = MfInputFilterNode{};
  p->inputLast.methods =
      MfInputFilter{kMfInterfaceVersion, nullptr,        nullptr,         nullptr,
                    LastInputOpen,       LastInputClose, LastInputRead,   LastInputSeek,
                    LastInputCaps,       LastInputSize,  LastInputMessage};
  p->inputLast.decoder = d;
  p->inputHead = &p->inputLast;
  p->outputLast = MfOutputFilterNode{};
  p->outputLast.methods = MfOutputFilter{kMfInterfaceVersion,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         LastOutputOpen,
                                         LastOutputClose,
                                         LastOutputWrite,
                                         LastOutputBuffer,
                                         LastOutputSetControl,
                                         LastOutputGetControl,
                                         LastOutputStatus,
                                         LastOutputCaps,
                                         LastOutputMessage};
  p->outputLast.decoder = d;
  p->outputHead = &p->outputLast;
}

void MfDeleteInputFilters(MfDecoder* d) {
  DeleteFilters(d->priv->inputHead, &d->priv->inputLast);
}

void MfDeleteOutputFilters(MfDecoder* d) {
  DeleteFilters(d->priv->outputHead, &d->priv->outputLast);
}

int mf_input_filter_add(MfDecoder* d, const MfInputFilter* descriptor, int position) {
  if (d == nullptr) return kMfInvalidParameter;
  return AddFilter(d, d->priv->inputHead, &d->priv->inputLast, descriptor, position);
}

int mf_output_filter_add(MfDecoder* d, const MfOutputFilter* descriptor, int position) {
  if (d == nullptr) return kMfInvalidParameter;
  return AddFilter(d, d->priv->outputHead, &d->priv->outputLast, descriptor, position);
}

int mf_input_filter_remove(MfDecoder* d, const char* name, int id) {
  if (d == nullptr) return kMfInvalidParameter;
  return RemoveFilter(d, d->priv->inputHead, &d->priv->inputLast, name, id);
}

int mf_output_filter_remove(MfDecoder* d, const char* name, int id) {
  if (d == nullptr) return kMfInvalidParameter;
  return RemoveFilter(d, d->priv->outputHead, &d->priv->outputLast, name, id);
}

int mf_input_filter_enumerate(MfDecoder* d, void* clientData, MfInputFilterCallback callback) {
  if (d == nullptr) return kMfInvalidParameter;
  return EnumerateFilters(d, d->priv->inputHead, &d->priv->inputLast, clientData, callback);
}

int mf_output_filter_enumerate(MfDecoder* d, void* clientData, MfOutputFilterCallback callback) {
  if (d == nullptr) return kMfInvalidParameter;
  return EnumerateFilters(d, d->priv->outputHead, &d->priv->outputLast, clientData, callback);
}

}  // namespace veltro::media
