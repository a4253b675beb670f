import QtQuick
import QtQuick.Controls.Basic
import Corvane

// The saved websites: filtered, cut to the visible limit, as a grid of cards when the section is
// wide enough or the wide layout is on, as rows otherwise. The views follow the library's list
// model row by row, so a pin, a rename or a save keeps the rest in place and the scroll position.
Item {
    id: listSection

    required property AppViewModel viewModel
    required property ThemePalette theme
    required property ViewState viewState

    readonly property Library library: viewModel.library
    readonly property bool isEmpty: library.filteredCount === 0
    readonly property bool usesGrid: width >= 500 || viewModel.isWideLayout
    readonly property bool hasMore: library.visibleLimit < library.filteredCount
    readonly property real trailingPadding: 13

    // The menu's commands come back here, one website at a time.
    Connections {
        target: WebsiteItemMenuHelper

        function onPinChosen(websiteId) { listSection.library.togglePin(websiteId) }
        function onShareChosen(websiteId) { listSection.library.shareWebsite(websiteId) }
        function onCopyChosen(websiteId) { listSection.library.copyWebsiteLink(websiteId) }
        function onEditChosen(websiteId, title) { listSection.viewState.startEditing(websiteId, title) }
        function onDeleteChosen(websiteId) { listSection.library.deleteWebsite(websiteId) }
    }

    EmptyStateCard {
        objectName: "emptyState"
        visible: listSection.isEmpty
        width: parent.width
        theme: listSection.theme
        isSearching: listSection.library.searchQuery !== ""
        isLoading: listSection.library.isLoading
    }

    Loader {
        objectName: "websitesLoader"
        active: !listSection.isEmpty
        anchors.fill: parent
        // Out into the panel margin, so the scroller sits beside the cards rather than on them.
        anchors.rightMargin: -11
        // The panel's rounded corners begin this far above its bottom edge at the list's sides.
        anchors.bottomMargin: 3
        sourceComponent: listSection.usesGrid ? grid : rows
    }

    Component {
        id: grid

        GridView {
            id: view
            objectName: "websitesGrid"

            readonly property real available: width - listSection.trailingPadding
            readonly property int columns: Math.max(1, Math.floor((available + 12) / (145 + 12)))

            clip: true
            boundsBehavior: Flickable.StopAtBounds
            cacheBuffer: 320
            model: listSection.library.websiteList
            cellWidth: Math.min(195 + 12, (available + 12) / columns)
            cellHeight: 155 + 12
            // Columns that reach their widest leave the rest of the width on both sides.
            leftMargin: Math.max(0, (available + 12 - columns * cellWidth) / 2)
            bottomMargin: 14
            ScrollBar.vertical: PanelScrollBar { theme: listSection.theme }

            delegate: Item {
                required property int index
                required property var websiteId
                required property string title
                required property string url
                required property string domain
                required property string screenshotUrl
                required property bool isPinned

                width: view.cellWidth
                height: view.cellHeight

                WebsiteCard {
                    objectName: "websiteItem"
                    width: parent.width - 12
                    height: 155
                    theme: listSection.theme
                    viewState: listSection.viewState
                    library: listSection.library
                    websiteId: parent.websiteId
                    title: parent.title
                    url: parent.url
                    domain: parent.domain
                    screenshotUrl: parent.screenshotUrl
                    isPinned: parent.isPinned
                }
            }

            footer: Item {
                width: view.available
                height: listSection.hasMore ? more.implicitHeight + 4 : 0

                ShowMoreButton {
                    id: more
                    objectName: "showMore"
                    visible: listSection.hasMore
                    y: 4
                    // As wide as the columns, less the gap after the last one.
                    width: view.columns * view.cellWidth - 12
                    theme: listSection.theme
                    onClicked: listSection.library.showMoreWebsites()
                }
            }
        }
    }

    Component {
        id: rows

        ListView {
            id: view
            objectName: "websitesRows"

            clip: true
            boundsBehavior: Flickable.StopAtBounds
            cacheBuffer: 320
            spacing: 9
            model: listSection.library.websiteList
            bottomMargin: 14
            ScrollBar.vertical: PanelScrollBar { theme: listSection.theme }

            delegate: WebsiteRow {
                objectName: "websiteItem"
                width: view.width - listSection.trailingPadding
                theme: listSection.theme
                viewState: listSection.viewState
                library: listSection.library
            }

            footer: Item {
                width: view.width - listSection.trailingPadding
                height: listSection.hasMore ? more.implicitHeight + 16 : 0

                ShowMoreButton {
                    id: more
                    objectName: "showMore"
                    visible: listSection.hasMore
                    y: 16
                    width: parent.width
                    theme: listSection.theme
                    onClicked: listSection.library.showMoreWebsites()
                }
            }
        }
    }
}
