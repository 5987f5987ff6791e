// The kernel's linked lists as typed ranges:
//   for (const KT_Layer& layer : layers_of(drawing)) ...
//   for (const KT_Drawable& d : drawables_of(block.entities)) ...
#pragma once

#include <cstddef>
#include <iterator>

#include "kernel/zirida.h"

namespace kttrv::view {

// The elements of a list whose links are Node's `next`, each seen as
// Element (a collection holds only its own class: the cast is the
// kernel's promise).
template <class Element, class Node>
class LinkedRange {
 public:
  class iterator {
   public:
    using value_type = Element;
    using difference_type = std::ptrdiff_t;
    using pointer = const Element*;
    using reference = const Element&;
    using iterator_category = std::forward_iterator_tag;

    iterator() = default;
    explicit iterator(const Node* at) : at_(at) {}
    const Element& operator*() const { return static_cast<const Element&>(*at_); }
    const Element* operator->() const { return &**this; }
    iterator& operator++() {
      at_ = at_->next;
      return *this;
    }
    iterator operator++(int) {
      iterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const iterator&) const = default;

   private:
    const Node* at_ = nullptr;
  };

  explicit LinkedRange(const Node* first) : first_(first) {}
  iterator begin() const { return iterator(first_); }
  iterator end() const { return iterator(); }
  bool empty() const { return first_ == nullptr; }

 private:
  const Node* first_;
};

template <class T>
using CollectionRange = LinkedRange<T, KT_Object>;
using DrawableRange = LinkedRange<KT_Drawable, KT_Drawable>;

template <class T>
CollectionRange<T> objects_of(const KT_Collection& c) {
  return CollectionRange<T>(c.first);
}
inline CollectionRange<KT_Layer> layers_of(const KT_Drawing& d) { return objects_of<KT_Layer>(d.layers); }
inline CollectionRange<KT_Text_Style> text_styles_of(const KT_Drawing& d) { return objects_of<KT_Text_Style>(d.text_styles); }
inline CollectionRange<KT_Dim_Style> dim_styles_of(const KT_Drawing& d) { return objects_of<KT_Dim_Style>(d.dim_styles); }
inline CollectionRange<KT_Line_Type> line_types_of(const KT_Drawing& d) { return objects_of<KT_Line_Type>(d.line_types); }
inline CollectionRange<KT_Block> blocks_of(const KT_Drawing& d) { return objects_of<KT_Block>(d.blocks); }
inline DrawableRange drawables_of(const KT_Entity_List& list) { return DrawableRange(list.first); }

}  // namespace kttrv::view
