// Singly linked records allocated with new, released in one walk.
#pragma once

template <class Node>
void delete_list(Node* head) {
    while (head) {
        Node* next = head->next;
        delete head;
        head = next;
    }
}
