import QtQuick
import QtTest
import Corvanta

TestCase {
    id: testCase

    name: "ReviewPromptView"
    when: windowShown
    width: 640
    height: 120
    // Children of an invisible TestCase get no mouse events.
    visible: true

    Component {
        id: cardComponent

        ReviewPromptView {
            width: 600
        }
    }

    SignalSpy {
        id: answers

        signalName: "answer"
    }

    SignalSpy {
        id: dismissals

        signalName: "dismiss"
    }

    function init() {
        failOnWarning(/.?/)
        language.set("fr")
    }

    function makeCard() {
        const card = createTemporaryObject(cardComponent, testCase)
        verify(card)
        answers.clear()
        dismissals.clear()
        answers.target = card
        dismissals.target = card
        waitForRendering(card)
        return card
    }

    function test_buttons_data() {
        return [
            { tag: "yes", button: "yesButton", answers: 1, answer: true, dismissals: 0 },
            { tag: "no", button: "noButton", answers: 1, answer: false, dismissals: 0 },
            { tag: "close", button: "dismissButton", answers: 0, dismissals: 1 },
        ]
    }

    function test_buttons(data) {
        const card = makeCard()
        mouseClick(findChild(card, data.button))
        compare(answers.count, data.answers)
        compare(dismissals.count, data.dismissals)
        if (data.answers > 0)
            compare(answers.signalArguments[0][0], data.answer)
    }

    function test_french_as_written() {
        const card = makeCard()
        compare(findChild(card, "title").text, "Corvanta vous plaît ?")
        compare(findChild(card, "yesButton").text, "Oui")
        compare(findChild(card, "dismissButton").help, "Ne plus demander")
    }

    function test_speaks_english_in_english() {
        const card = makeCard()
        language.set("en")
        const texts = [
            [findChild(card, "title").text, "Corvanta vous plaît ?"],
            [findChild(card, "line").text, "Un mot de vous aide plus que tout le reste."],
            [findChild(card, "yesButton").text, "Oui"],
            [findChild(card, "noButton").text, "Non"],
            [findChild(card, "dismissButton").help, "Ne plus demander"],
        ]
        for (const [shown, key] of texts) {
            const english = language.translation("en", key)
            verify(english !== "" && english !== key, key)
            compare(shown, english)
        }
    }
}
