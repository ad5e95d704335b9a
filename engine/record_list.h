// RecordList: a doubly linked list of nodes, each owning one record, driven through one entry
// point with an operation code and a record handler.
//
// Nodes live in one growing array and link to each other by index, so a node costs its record
// plus 8 bytes per pair of links, and walking a list touches no allocator. A node carries
// `Pairs` pairs of (next, previous) links: pair 0 is the list's own order (the order of
// appending); the other pairs are free for orderings that a user of the list builds over the
// same nodes. Freed nodes are reused by later appends.
//
// The record handler is any callable `int handler(Record& record, int code, const void* arg)`
// returning 0 for success (or "accepted", for code 402) and non-zero otherwise.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace kelvara {

using NodeId = uint32_t;
inline constexpr NodeId kNoNode = UINT32_MAX;
// Marks a freed node (in its first link) so that no flag costs a node padding.
inline constexpr NodeId kFreedNode = UINT32_MAX - 1;

// Operation codes of the list (and the matching handler codes).
enum ListCode : int {
  LIST_APPEND = 101,  // append a node with a fresh record (handler: allocate it, zeroed)
  LIST_REMOVE = 201,  // unlink and free a node (handler: release the record)
  LIST_CLEAR = 301,   // remove every node
  LIST_FIND = 402,    // first node from the given one whose record the handler accepts
};

struct NodeLinks {
  NodeId next = kNoNode;
  NodeId prev = kNoNode;
};

template <class Record, int Pairs>
struct RecordList {
  static_assert(Pairs >= 1);
  // Aligned to a cache line, so that the links and the start of the record share one.
  struct alignas(64) Node {
    std::array<NodeLinks, Pairs> links{};
    Record record{};
  };
  std::vector<Node> nodes;
  std::vector<NodeId> freeNodes;

  // True for a node that exists and has not been freed.
  bool live(NodeId id) const { return id < nodes.size() && nodes[id].links[0].next != kFreedNode; }
  Node& operator[](NodeId id) { return nodes[id]; }
  const Node& operator[](NodeId id) const { return nodes[id]; }
  // Room for n nodes without reallocation.
  void reserve(std::size_t n) { nodes.reserve(n); }
};

// The list's entry point. `head` is the list's first node (kNoNode for an empty list); `node`
// is where the operation starts (for LIST_APPEND the walk to the last node starts there, so
// passing the last node appended makes appends constant-time; kNoNode or a freed node starts
// at the head).
// Returns the node the operation produced or found, kNoNode on failure or when none is found.
//   LIST_APPEND: the new node (its record prepared by handler code 101);
//   LIST_REMOVE: the node that became the head's replacement when the head was removed, else
//                the removed node's successor (or predecessor when it has none);
//   LIST_CLEAR:  kNoNode (the list is empty afterwards);
//   LIST_FIND:   the first node from `node` (walking pair 0) that the handler accepts;
//   any other:   `node` when the handler succeeds on its record, kNoNode otherwise.
template <class Record, int Pairs, class Handler>
NodeId recordListOp(RecordList<Record, Pairs>& list, NodeId& head, NodeId node, int code,
                    Handler&& handler, const void* arg) {
  using Node = typename RecordList<Record, Pairs>::Node;
  switch (code) {
    case LIST_APPEND: {
      NodeId last = list.live(node) ? node : head;
      while (last != kNoNode && list[last].links[0].next != kNoNode) {
        last = list[last].links[0].next;
      }
      NodeId id;
      if (!list.freeNodes.empty()) {
        id = list.freeNodes.back();
        list.freeNodes.pop_back();
        list[id] = Node{};
      } else {
        id = static_cast<NodeId>(list.nodes.size());
        list.nodes.emplace_back();
      }
      Node& n = list[id];
      if (handler(n.record, LIST_APPEND, arg) != 0) {
        n.links[0].next = kFreedNode;
        list.freeNodes.push_back(id);
        return kNoNode;
      }
      n.links[0].prev = last;
      if (last != kNoNode) {
        list[last].links[0].next = id;
      } else {
        head = id;
      }
      return id;
    }
    case LIST_REMOVE: {
      if (!list.live(node)) return kNoNode;
      Node& n = list[node];
      const NodeId successor = n.links[0].next, predecessor = n.links[0].prev;
      for (NodeLinks& l : n.links) {  // unlink from every ordering the node is part of
        if (l.prev != kNoNode) list[l.prev].links[&l - n.links.data()].next = l.next;
        if (l.next != kNoNode) list[l.next].links[&l - n.links.data()].prev = l.prev;
        l = NodeLinks{};
      }
      handler(n.record, LIST_REMOVE, arg);
      n = Node{};
      n.links[0].next = kFreedNode;
      list.freeNodes.push_back(node);
      const NodeId moved = successor != kNoNode ? successor : predecessor;
      if (head == node) head = moved;
      return moved;
    }
    case LIST_CLEAR: {
      // Every node goes, so no link needs mending: the records are released in storage order
      // (a walk that unlinks node by node jumps across the whole table four times over).
      for (Node& n : list.nodes) {
        if (n.links[0].next != kFreedNode) handler(n.record, LIST_REMOVE, arg);
      }
      head = kNoNode;
      list.nodes.clear();
      list.nodes.shrink_to_fit();
      list.freeNodes.clear();
      list.freeNodes.shrink_to_fit();
      return kNoNode;
    }
    case LIST_FIND: {
      for (NodeId id = list.live(node) ? node : head; id != kNoNode; id = list[id].links[0].next) {
        if (handler(list[id].record, LIST_FIND, arg) == 0) return id;
      }
      return kNoNode;
    }
    default:
      if (!list.live(node)) return kNoNode;
      return handler(list[node].record, code, arg) == 0 ? node : kNoNode;
  }
}

}  // namespace kelvara
